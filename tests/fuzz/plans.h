// How an input scripts the fakes: which JNI calls fail and how, and which
// Java values a native method receives.
#pragma once

#include <jni.h>

#include <cstddef>

#include "fake_jni_env.h"
#include "input.h"

namespace velkfuzz {

// A JNI function that a VM can make fail, and the ways it can. Functions that
// no VM fails (lengths, releases, exception inspection) are left alone.
struct FaultSite {
    const char* function;
    bool pend;  // raise a Java exception, return null or 0
    bool null;  // return null with nothing pending
    bool code;  // Throw/ThrowNew: return a non-zero code, throw nothing
};

// Scripts up to two faults, each on one call (or every call) of a site.
void scriptJniFaults(Input& in, fakejni::FakeJniEnv& vm, const FaultSite* sites, size_t count);

// Java arguments, made in vm's heap. Each may come out null.
jstring javaString(Input& in, fakejni::FakeJniEnv& vm);
jintArray javaInts(Input& in, fakejni::FakeJniEnv& vm);
// Empty, short, input-filled or huge (up to a few MiB).
jbyteArray javaBytes(Input& in, fakejni::FakeJniEnv& vm);
// A String[] whose elements are strings or null; length as given, or odd.
jobjectArray javaStrings(Input& in, fakejni::FakeJniEnv& vm, jsize suggestedLength);

}  // namespace velkfuzz
