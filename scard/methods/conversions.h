// How PC/SC values cross to Java and back. On the 32-bit target handles and
// DWORDs are 32 bits wide: handles are sign-extended on the way out and
// narrowed to their low half on the way in. On x86_64 PC/SC lite's LONG and
// DWORD are 64 bits wide, handles pass unchanged, and every other value still
// travels as its 32-bit pattern so that Java's -1 stays PC/SC's 0xFFFFFFFF.
#pragma once

#include <jni.h>
#include <winscard.h>

#include <cstdint>

namespace velk {

inline jlong handleToJava(LONG handle) { return static_cast<jlong>(handle); }

inline LONG handleFromJava(jlong handle) { return static_cast<LONG>(handle); }

inline DWORD dwordFromJava(jint value) { return static_cast<DWORD>(static_cast<uint32_t>(value)); }

inline DWORD dwordFromJava(jlong value) { return static_cast<DWORD>(static_cast<uint32_t>(value)); }

inline jint dwordToJava(DWORD value) { return static_cast<jint>(static_cast<uint32_t>(value)); }

}  // namespace velk
