// A byte[] argument copied into native storage, the same way for every method
// that sends bytes to PC/SC, each reporting its failures at its own sites.
#pragma once

#include <jni.h>
#include <winscard.h>

#include <cstddef>

#include "errors/failures.h"
#include "jni/array_elements.h"
#include "methods/stack_buffer.h"

namespace velk {

struct ByteRequestSites {
    int arrayNull;
    const char* arrayNullText;
    int lengthPending;
    int elementsPending;
    int elementsNull;
    int releasePending;
};

// The array's bytes, on the stack up to N of them. The array is only read:
// its elements are released without writing back.
template <std::size_t N>
class ByteRequest {
  public:
    ByteRequest(JNIEnv* env, jbyteArray array, const ByteRequestSites& sites)
        : length(lengthOf(env, array, sites)), copy(static_cast<std::size_t>(length)) {
        ReadOnlyByteArrayElements elements(env, array);
        throwIfJniExceptionPending(env, sites.elementsPending);
        if (elements.get() == nullptr) {
            throwFatal(env, sites.elementsNull, "requestArrayElements=NULL");
        }
        for (jsize i = 0; i < length; ++i) {
            copy[static_cast<std::size_t>(i)] = static_cast<BYTE>(elements[i]);
        }
        elements.release();
        throwIfJniExceptionPending(env, sites.releasePending);
    }
    ByteRequest(const ByteRequest&) = delete;
    ByteRequest& operator=(const ByteRequest&) = delete;

    // An empty request is a null buffer of length 0.
    const BYTE* data() { return length == 0 ? nullptr : copy.data(); }
    DWORD size() const { return static_cast<DWORD>(length); }

  private:
    static jsize lengthOf(JNIEnv* env, jbyteArray array, const ByteRequestSites& sites) {
        if (array == nullptr) {
            throwFatal(env, sites.arrayNull, sites.arrayNullText);
        }
        jsize n = env->GetArrayLength(array);
        throwIfJniExceptionPending(env, sites.lengthPending);
        return n;
    }

    jsize length;
    StackBuffer<BYTE, N> copy;
};

}  // namespace velk
