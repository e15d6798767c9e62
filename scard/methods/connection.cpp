// Opening, renewing and closing the connection to the card in a reader.
#include <jni.h>
#include <winscard.h>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "jni/array_elements.h"
#include "jni/java_string.h"
#include "methods/bridge_call.h"
#include "methods/conversions.h"

using namespace velk;

namespace {

constexpr int kConnectReaderPending = 317;
constexpr int kConnectElementsPending = 329;
constexpr int kConnectReleasePending = 332;
constexpr int kConnectUnexpected = 351;
constexpr int kDisconnectUnexpected = 715;
constexpr int kReconnectRegionPending = 742;
constexpr int kReconnectUnexpected = 752;

// A connection that Java has not yet been handed. Should anything fail before
// the handle reaches Java, it is closed again: nobody could ever close it
// otherwise, and in exclusive mode it would lock the card for everyone.
class PendingConnection {
  public:
    explicit PendingConnection(SCARDHANDLE card) : card(card) {}
    ~PendingConnection() {
        if (!handedOver) {
            SCardDisconnect(card, SCARD_LEAVE_CARD);
        }
    }
    PendingConnection(const PendingConnection&) = delete;
    PendingConnection& operator=(const PendingConnection&) = delete;

    jlong handOver() {
        handedOver = true;
        return handleToJava(card);
    }

  private:
    SCARDHANDLE card;
    bool handedOver = false;
};

// The out array must hold element 0; checked before PC/SC connects so that a
// bad argument never leaves a connection behind.
void requireActiveProtocolSlot(JNIEnv* env, jintArray activeProtocol) {
    if (activeProtocol == nullptr) {
        throwFatal(env, guard_sites::kConnectActiveProtocolNull, "activeProtocol=NULL");
    }
    jsize length = env->GetArrayLength(activeProtocol);
    throwIfJniExceptionPending(env, guard_sites::kConnectActiveProtocolLength);
    if (length < 1) {
        throwFatal(env, guard_sites::kConnectActiveProtocolEmpty, "activeProtocol size = 0");
    }
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardConnect(
    JNIEnv* env, jclass, jlong context, jstring reader, jint shareMode, jint preferredProtocols,
    jintArray activeProtocol) {
    return bridgeCall(env, kConnectUnexpected, jlong{-1}, [&] {
        JavaString readerName;
        readerName.set(env, reader);
        throwIfJniExceptionPending(env, kConnectReaderPending);
        requireActiveProtocolSlot(env, activeProtocol);

        SCARDHANDLE card = 0;
        DWORD protocol = 0;
        LONG rv =
            SCardConnect(handleFromJava(context), readerName.c_str(), dwordFromJava(shareMode),
                         dwordFromJava(preferredProtocols), &card, &protocol);
        throwIfPcscFailed(env, rv, "SCardConnect failed with code ");
        PendingConnection connection(card);

        IntArrayElements elements(env, activeProtocol);
        throwIfJniExceptionPending(env, kConnectElementsPending);
        if (elements.get() == nullptr) {
            throwFatal(env, guard_sites::kConnectActiveProtocolElements,
                       "activeProtocolElements=NULL");
        }
        elements[0] = dwordToJava(protocol);
        elements.release();
        throwIfJniExceptionPending(env, kConnectReleasePending);
        return connection.handOver();
    });
}

JNIEXPORT void JNICALL Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardReconnect(
    JNIEnv* env, jclass, jlong card, jint shareMode, jint preferredProtocols, jint initialization,
    jintArray activeProtocol) {
    bridgeCall(env, kReconnectUnexpected, [&] {
        // The region store below has no defined behaviour for a null array.
        if (activeProtocol == nullptr) {
            throwFatal(env, guard_sites::kReconnectActiveProtocolNull, "activeProtocol=NULL");
        }
        DWORD protocol = 0;
        LONG rv = SCardReconnect(handleFromJava(card), dwordFromJava(shareMode),
                                 dwordFromJava(preferredProtocols), dwordFromJava(initialization),
                                 &protocol);
        throwIfPcscFailed(env, rv, "SCardReconnect failed with code ");
        jint javaProtocol = dwordToJava(protocol);
        env->SetIntArrayRegion(activeProtocol, 0, 1, &javaProtocol);
        throwIfJniExceptionPending(env, kReconnectRegionPending);
    });
}

JNIEXPORT void JNICALL Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardDisconnect(
    JNIEnv* env, jclass, jlong card, jint disposition) {
    bridgeCall(env, kDisconnectUnexpected, [&] {
        LONG rv = SCardDisconnect(handleFromJava(card), dwordFromJava(disposition));
        throwIfPcscFailed(env, rv, "SCardDisconnect failed with code ");
    });
}

}  // extern "C"
