// Readable text of a PC/SC result code.
#pragma once

#include <string>

namespace velk {

// "SYMBOL (description.)" for a known code, else "unknown error (code=hex)"
// with the code's 32-bit pattern in lower-case hex.
std::string sCardErrorCodeToStr(long code);

}  // namespace velk
