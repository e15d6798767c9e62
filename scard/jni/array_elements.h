// Owners of a primitive Java array's elements. The release mode belongs to
// the type: read-only owners never copy back (JNI_ABORT), writable ones do (0).
#pragma once

#include <jni.h>

#include <cstddef>

namespace velk {

struct IntArrayAccess {
    using Array = jintArray;
    using Element = jint;
    static jint* get(JNIEnv* env, jintArray array) {
        return env->GetIntArrayElements(array, nullptr);
    }
    static void release(JNIEnv* env, jintArray array, jint* elements, jint mode) {
        env->ReleaseIntArrayElements(array, elements, mode);
    }
};

struct ByteArrayAccess {
    using Array = jbyteArray;
    using Element = jbyte;
    static jbyte* get(JNIEnv* env, jbyteArray array) {
        return env->GetByteArrayElements(array, nullptr);
    }
    static void release(JNIEnv* env, jbyteArray array, jbyte* elements, jint mode) {
        env->ReleaseByteArrayElements(array, elements, mode);
    }
};

template <typename Access, jint ReleaseMode>
class ArrayElements {
  public:
    using Element = typename Access::Element;

    // Callers check for a pending Java exception and a null get() afterwards.
    ArrayElements(JNIEnv* env, typename Access::Array array)
        : env(env), array(array), elements(Access::get(env, array)) {}
    ~ArrayElements() { release(); }
    ArrayElements(const ArrayElements&) = delete;
    ArrayElements& operator=(const ArrayElements&) = delete;

    Element* get() const { return elements; }
    Element& operator[](std::size_t i) const { return elements[i]; }

    // Releases now, so that the caller can check the VM's verdict in order;
    // the destructor then has nothing left to do.
    void release() {
        if (elements != nullptr) {
            Access::release(env, array, elements, ReleaseMode);
            elements = nullptr;
        }
    }

  private:
    JNIEnv* env;
    typename Access::Array array;
    Element* elements;
};

using IntArrayElements = ArrayElements<IntArrayAccess, 0>;
using ReadOnlyIntArrayElements = ArrayElements<IntArrayAccess, JNI_ABORT>;
using ReadOnlyByteArrayElements = ArrayElements<ByteArrayAccess, JNI_ABORT>;

}  // namespace velk
