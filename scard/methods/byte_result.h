// The byte[] result that several methods build the same way from a native
// buffer, each reporting its failures at its own sites.
#pragma once

#include <jni.h>
#include <winscard.h>

#include "errors/failures.h"

namespace velk {

struct ByteResultSites {
    int newArrayPending;
    int newArrayNull;
    int fillPending;
};

inline jbyteArray newByteResult(JNIEnv* env, const BYTE* bytes, DWORD length,
                                const ByteResultSites& sites) {
    auto size = static_cast<jsize>(length);
    jbyteArray result = env->NewByteArray(size);
    throwIfJniExceptionPending(env, sites.newArrayPending);
    if (result == nullptr) {
        throwFatal(env, sites.newArrayNull, "result=NULL");
    }
    env->SetByteArrayRegion(result, 0, size, reinterpret_cast<const jbyte*>(bytes));
    throwIfJniExceptionPending(env, sites.fillPending);
    return result;
}

}  // namespace velk
