// Waiting until the state of one of a set of readers changes.
#include <jni.h>
#include <winscard.h>

#include <cstddef>
#include <string>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "jni/array_elements.h"
#include "jni/java_string.h"
#include "methods/bridge_call.h"
#include "methods/conversions.h"
#include "methods/stack_buffer.h"

using namespace velk;

namespace {

constexpr int kLengthsDiffer = 380;
constexpr int kStatesElementsPending = 386;
constexpr int kStatesElementsNull = 389;
constexpr int kStatesReleasePending = 397;
constexpr int kNameElementPending = 405;
constexpr int kNameElementNull = 408;
constexpr int kNameCharsPending = 412;
constexpr int kNewIntArrayPending = 443;
constexpr int kNewIntArrayNull = 446;
constexpr int kResultElementsPending = 450;
constexpr int kStorePending = 455;
constexpr int kResultReleasePending = 459;
constexpr int kUnexpected = 477;

// A usual wait, for a few readers, keeps its working storage on the stack.
constexpr std::size_t kStackReaders = 8;
constexpr std::size_t kStackNameBytes = 512;

using Names = StackStrings<kStackNameBytes>;

void readCurrentStates(JNIEnv* env, jintArray states, jsize n, DWORD* current) {
    ReadOnlyIntArrayElements elements(env, states);
    throwIfJniExceptionPending(env, kStatesElementsPending);
    if (elements.get() == nullptr) {
        throwFatal(env, kStatesElementsNull, "readerCurrentStateArrayElements=NULL");
    }
    for (jsize i = 0; i < n; ++i) {
        current[i] = dwordFromJava(elements[i]);
    }
    elements.release();
    throwIfJniExceptionPending(env, kStatesReleasePending);
}

// Copies each name and notes where it starts.
void readNames(JNIEnv* env, jobjectArray names, jsize n, Names& copies, std::size_t* starts) {
    for (jsize i = 0; i < n; ++i) {
        auto element = static_cast<jstring>(env->GetObjectArrayElement(names, i));
        throwIfJniExceptionPending(env, kNameElementPending);
        if (element == nullptr) {
            throwFatal(env, kNameElementNull, "s=NULL");
        }
        JavaString name(env, element);
        throwIfJniExceptionPending(env, kNameCharsPending);
        starts[i] = copies.append(name.c_str());
    }
}

jintArray newEventStateArray(JNIEnv* env, const SCARD_READERSTATE* readerStates, jsize n) {
    jintArray result = env->NewIntArray(n);
    throwIfJniExceptionPending(env, kNewIntArrayPending);
    if (result == nullptr) {
        throwFatal(env, kNewIntArrayNull, "result=NULL");
    }
    IntArrayElements elements(env, result);
    throwIfJniExceptionPending(env, kResultElementsPending);
    if (elements.get() == nullptr) {
        throwFatal(env, guard_sites::kStatusChangeResultElements, "resultElements=NULL");
    }
    for (jsize i = 0; i < n; ++i) {
        elements[i] = dwordToJava(readerStates[i].dwEventState);
        throwIfJniExceptionPending(env, kStorePending);
    }
    elements.release();
    throwIfJniExceptionPending(env, kResultReleasePending);
    return result;
}

}  // namespace

extern "C" JNIEXPORT jintArray JNICALL
Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardGetStatusChange(
    JNIEnv* env, jclass, jlong context, jlong timeout, jintArray readerCurrentStateArray,
    jobjectArray readerNameArray) {
    return bridgeCall(env, kUnexpected, jintArray{nullptr}, [&]() -> jintArray {
        if (readerCurrentStateArray == nullptr) {
            throwFatal(env, guard_sites::kStatusChangeStatesNull, "readerCurrentStateArray=NULL");
        }
        if (readerNameArray == nullptr) {
            throwFatal(env, guard_sites::kStatusChangeNamesNull, "readerNameArray=NULL");
        }
        jsize n = env->GetArrayLength(readerCurrentStateArray);
        jsize m = env->GetArrayLength(readerNameArray);
        if (n != m) {
            throwFatal(env, kLengthsDiffer,
                       "readerCurrentStateArray size = " + std::to_string(n) +
                           ". readerNameArray size = " + std::to_string(m));
        }
        const auto count = static_cast<std::size_t>(n);
        StackBuffer<DWORD, kStackReaders> current(count);
        readCurrentStates(env, readerCurrentStateArray, n, current.data());
        // Complete before the records point into it, and unchanged afterwards.
        Names names;
        StackBuffer<std::size_t, kStackReaders> nameStarts(count);
        readNames(env, readerNameArray, n, names, nameStarts.data());

        StackBuffer<SCARD_READERSTATE, kStackReaders> readerStates(count);
        for (jsize i = 0; i < n; ++i) {
            SCARD_READERSTATE state{};
            state.szReader = names.at(nameStarts[i]);
            state.pvUserData = nullptr;
            state.dwCurrentState = current[i];
            state.dwEventState = 0;
            state.cbAtr = 0;
            readerStates[i] = state;
        }

        // No readers: a null list of length 0.
        LONG rv =
            SCardGetStatusChange(handleFromJava(context), dwordFromJava(timeout),
                                 n == 0 ? nullptr : readerStates.data(), static_cast<DWORD>(n));
        if (isCode(rv, SCARD_E_TIMEOUT)) {
            return readerCurrentStateArray;
        }
        throwIfPcscFailed(env, rv, "SCardGetStatusChange failed with code ");
        return newEventStateArray(env, readerStates.data(), n);
    });
}
