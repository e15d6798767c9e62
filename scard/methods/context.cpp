// Establishing and releasing a PC/SC resource-manager context.
#include <jni.h>
#include <winscard.h>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/failures.h"
#include "methods/bridge_call.h"
#include "methods/conversions.h"

using namespace velk;

namespace {
constexpr int kEstablishUnexpected = 159;
constexpr int kReleaseUnexpected = 186;
}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardEstablishContext(
    JNIEnv* env, jclass, jint scope) {
    return bridgeCall(env, kEstablishUnexpected, jlong{-1}, [&] {
        SCARDCONTEXT context = 0;
        LONG rv = SCardEstablishContext(dwordFromJava(scope), nullptr, nullptr, &context);
        throwIfPcscFailed(env, rv, "SCardEstablishContext failed with code ");
        return handleToJava(context);
    });
}

JNIEXPORT void JNICALL Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardReleaseContext(
    JNIEnv* env, jclass, jlong context) {
    bridgeCall(env, kReleaseUnexpected, [&] {
        LONG rv = SCardReleaseContext(handleFromJava(context));
        throwIfPcscFailed(env, rv, "SCardReleaseContext failed with code ");
    });
}

}  // extern "C"
