// Holding exclusive access to a card across several exchanges.
#include <jni.h>
#include <winscard.h>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/failures.h"
#include "methods/bridge_call.h"
#include "methods/conversions.h"

using namespace velk;

namespace {
constexpr int kBeginUnexpected = 571;
constexpr int kEndUnexpected = 602;
}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardBeginTransaction(
    JNIEnv* env, jclass, jlong card) {
    bridgeCall(env, kBeginUnexpected, [&] {
        LONG rv = SCardBeginTransaction(handleFromJava(card));
        throwIfPcscFailed(env, rv, "SCardBeginTransaction failed with code ");
    });
}

JNIEXPORT void JNICALL Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardEndTransaction(
    JNIEnv* env, jclass, jlong card, jint disposition) {
    bridgeCall(env, kEndUnexpected, [&] {
        LONG rv = SCardEndTransaction(handleFromJava(card), dwordFromJava(disposition));
        throwIfPcscFailed(env, rv, "SCardEndTransaction failed with code ");
    });
}

}  // extern "C"
