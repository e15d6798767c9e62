// Listing the readers that a context knows.
#include <jni.h>
#include <winscard.h>

#include <cstddef>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "jni/jni_support.h"
#include "methods/bridge_call.h"
#include "methods/conversions.h"

using namespace velk;

namespace {

constexpr int kNewObjectArrayPending = 257;
constexpr int kNewObjectArrayNull = 260;
constexpr int kNewStringPending = 265;
constexpr int kNewStringNull = 268;
constexpr int kSetElementPending = 271;
constexpr int kUnexpected = 290;

// Splits a PC/SC multi-string at its NULs; the first empty name ends it.
// The buffer carries zero bytes past what PC/SC may write, so the walk always
// finds an end inside it.
std::vector<std::string> splitNames(const std::vector<char>& buffer) {
    std::vector<std::string> names;
    const char* cursor = buffer.data();
    while (*cursor != '\0') {
        names.emplace_back(cursor);
        cursor += names.back().size() + 1;
    }
    return names;
}

}  // namespace

extern "C" JNIEXPORT jobjectArray JNICALL
Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardListReaders(JNIEnv* env, jclass,
                                                                     jlong context) {
    return bridgeCall(env, kUnexpected, jobjectArray{nullptr}, [&]() -> jobjectArray {
        SCARDCONTEXT hContext = handleFromJava(context);
        DWORD length = 0;
        LONG rv = SCardListReaders(hContext, nullptr, nullptr, &length);
        if (isCode(rv, SCARD_E_NO_READERS_AVAILABLE)) {
            return nullptr;
        }
        throwIfPcscFailed(env, rv, "SCardListReaders first call failed with code ");

        const DWORD capacity = length;
        // Two spare zero bytes: a list that lacks its final empty name still ends.
        // A length whose buffer cannot be had, the spare bytes included, is a
        // failed allocation; the addition itself must never wrap around.
        if (capacity > std::numeric_limits<size_t>::max() - 2) {
            throw std::bad_alloc();
        }
        std::vector<char> buffer(static_cast<size_t>(capacity) + 2, '\0');
        rv = SCardListReaders(hContext, nullptr, buffer.data(), &length);
        if (isCode(rv, SCARD_E_NO_READERS_AVAILABLE)) {
            return nullptr;
        }
        throwIfPcscFailed(env, rv, "SCardListReaders second call failed with code ");
        if (length > capacity) {
            throwFatal(env, guard_sites::kReaderListOverrun,
                       "pcchReaders=" + std::to_string(length) + " exceeds buffer of " +
                           std::to_string(capacity));
        }
        std::vector<std::string> names = splitNames(buffer);

        jclass stringClass = getJavaClass(env, javaStringClassName);
        jobjectArray result =
            env->NewObjectArray(static_cast<jsize>(names.size()), stringClass, nullptr);
        throwIfJniExceptionPending(env, kNewObjectArrayPending);
        if (result == nullptr) {
            throwFatal(env, kNewObjectArrayNull, "result=NULL");
        }
        for (size_t i = 0; i < names.size(); ++i) {
            jstring name = env->NewStringUTF(names[i].c_str());
            throwIfJniExceptionPending(env, kNewStringPending);
            if (name == nullptr) {
                throwFatal(env, kNewStringNull, "s=NULL");
            }
            env->SetObjectArrayElement(result, static_cast<jsize>(i), name);
            throwIfJniExceptionPending(env, kSetElementPending);
        }
        return result;
    });
}
