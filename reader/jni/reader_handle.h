// The reader handle as Java holds it: a long, 0 for no reader.
#pragma once

#include <jni.h>

#include <cstdint>

#include "velkreader.h"

namespace velk {

// Through intptr_t, so that a 32-bit address is sign-extended.
inline jlong readerHandleToJava(VelkReaderHandle reader) {
    return static_cast<jlong>(reinterpret_cast<std::intptr_t>(reader));
}

// Through uintptr_t: the low 32 bits on the 32-bit target, all 64 on x86_64.
inline VelkReaderHandle readerHandleFromJava(jlong handle) {
    return reinterpret_cast<VelkReaderHandle>(static_cast<std::uintptr_t>(handle));
}

}  // namespace velk
