// Readable text of a PC/SC result code.
#pragma once

#include <string>

namespace velk {

// "SYMBOL (description.)" for a known code, else "unknown error (code=hex)"
// with the code's 32-bit pattern in lower-case hex.
std::string sCardErrorCodeToStr(long code);

// The same, but from a reader's control channel 0x8010001F, which pcsc-lite
// names twice, is SCARD_E_UNSUPPORTED_FEATURE: the reader lacks the function.
std::string controlErrorCodeToStr(long code);

}  // namespace velk
