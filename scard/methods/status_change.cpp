// Waiting until the state of one of a set of readers changes.
#include <jni.h>
#include <winscard.h>

#include <cstddef>
#include <string>
#include <vector>

#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "jni/array_elements.h"
#include "jni/java_string.h"
#include "methods/bridge_call.h"
#include "methods/conversions.h"

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

std::vector<DWORD> readCurrentStates(JNIEnv* env, jintArray states, jsize n) {
    ReadOnlyIntArrayElements elements(env, states);
    throwIfJniExceptionPending(env, kStatesElementsPending);
    if (elements.get() == nullptr) {
        throwFatal(env, kStatesElementsNull, "readerCurrentStateArrayElements=NULL");
    }
    std::vector<DWORD> current;
    current.reserve(static_cast<size_t>(n));
    for (jsize i = 0; i < n; ++i) {
        current.push_back(dwordFromJava(elements[i]));
    }
    elements.release();
    throwIfJniExceptionPending(env, kStatesReleasePending);
    return current;
}

std::vector<std::string> readNames(JNIEnv* env, jobjectArray names, jsize n) {
    std::vector<std::string> result;
    result.reserve(static_cast<size_t>(n));
    for (jsize i = 0; i < n; ++i) {
        auto element = static_cast<jstring>(env->GetObjectArrayElement(names, i));
        throwIfJniExceptionPending(env, kNameElementPending);
        if (element == nullptr) {
            throwFatal(env, kNameElementNull, "s=NULL");
        }
        JavaString name(env, element);
        throwIfJniExceptionPending(env, kNameCharsPending);
        result.emplace_back(name.c_str());
    }
    return result;
}

jintArray newEventStateArray(JNIEnv* env, const std::vector<SCARD_READERSTATE>& readerStates) {
    auto n = static_cast<jsize>(readerStates.size());
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
        std::vector<DWORD> current = readCurrentStates(env, readerCurrentStateArray, n);
        // Complete before the records point into it, and unchanged afterwards.
        const std::vector<std::string> names = readNames(env, readerNameArray, n);

        std::vector<SCARD_READERSTATE> readerStates;
        readerStates.reserve(static_cast<size_t>(n));
        for (jsize i = 0; i < n; ++i) {
            SCARD_READERSTATE state{};
            state.szReader = names[i].c_str();
            state.pvUserData = nullptr;
            state.dwCurrentState = current[i];
            state.dwEventState = 0;
            state.cbAtr = 0;
            readerStates.push_back(state);
        }

        LONG rv = SCardGetStatusChange(handleFromJava(context), dwordFromJava(timeout),
                                       readerStates.data(), static_cast<DWORD>(n));
        if (isCode(rv, SCARD_E_TIMEOUT)) {
            return readerCurrentStateArray;
        }
        throwIfPcscFailed(env, rv, "SCardGetStatusChange failed with code ");
        return newEventStateArray(env, readerStates);
    });
}
