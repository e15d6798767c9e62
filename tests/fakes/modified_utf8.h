// Java's modified UTF-8: U+0000 as two bytes, supplementary characters as two
// 3-byte surrogate sequences. The fake VM keeps strings in both forms.
#pragma once

#include <string>

namespace fakejni {

std::string toModifiedUtf8(const std::u16string& units);

// Lenient like a VM that trusts its caller: a byte that starts no valid
// sequence becomes U+FFFD rather than an error.
std::u16string fromModifiedUtf8(const std::string& bytes);

}  // namespace fakejni
