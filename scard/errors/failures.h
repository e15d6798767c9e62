// The few ways a failure site raises its exception, so that sites read as one
// line each.
#pragma once

#include <jni.h>
#include <winscard.h>

#include <cstdint>
#include <string>

#include "errors/error_text.h"

namespace velk {

// The decimal text of a failure-site number.
std::string lineText(int line);

[[noreturn]] void throwFatal(JNIEnv* env, int line, std::string message,
                             jthrowable cause = nullptr);

// Turns a pending Java exception into a fatal failure at this site.
void throwIfJniExceptionPending(JNIEnv* env, int line);

// Turns a PC/SC error code into a VelkCardException: prefix, then the text
// that codeText gives.
void throwIfPcscFailed(JNIEnv* env, LONG code, const char* prefix,
                       std::string (*codeText)(long) = sCardErrorCodeToStr);

// PC/SC lite's LONG and DWORD are 64 bits wide on x86_64; its result codes
// are 32-bit patterns either way, so they are compared on their low half.
inline bool isCode(LONG code, LONG expected) {
    return static_cast<uint32_t>(code) == static_cast<uint32_t>(expected);
}

}  // namespace velk
