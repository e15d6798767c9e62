// Reading the state word and the ATR of a connected card.
#include <jni.h>
#include <winscard.h>

#include <string>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "methods/bridge_call.h"
#include "methods/byte_result.h"
#include "methods/conversions.h"

using namespace velk;

namespace {

constexpr int kStatePending = 512;
constexpr int kNewByteArrayPending = 516;
constexpr int kNewByteArrayNull = 519;
constexpr int kFillPending = 522;
constexpr int kUnexpected = 540;

constexpr DWORD kReaderNameCapacity = 256;
constexpr DWORD kAtrCapacity = 32;

}  // namespace

extern "C" JNIEXPORT jbyteArray JNICALL
Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardStatus(JNIEnv* env, jclass, jlong card,
                                                                jintArray stateArray) {
    return bridgeCall(env, kUnexpected, jbyteArray{nullptr}, [&] {
        // The state goes to element 0 only after PC/SC answered; a null array
        // is refused first so that nothing is asked of PC/SC in vain.
        if (stateArray == nullptr) {
            throwFatal(env, guard_sites::kStatusStateArrayNull, "stateArray=NULL");
        }
        char readerName[kReaderNameCapacity];
        DWORD readerNameLength = kReaderNameCapacity;
        DWORD state = 0;
        DWORD protocol = 0;
        BYTE atr[kAtrCapacity];
        DWORD atrLength = kAtrCapacity;
        LONG rv = SCardStatus(handleFromJava(card), readerName, &readerNameLength, &state,
                              &protocol, atr, &atrLength);
        throwIfPcscFailed(env, rv, "SCardStatus failed with code ");

        jint javaState = dwordToJava(state);
        env->SetIntArrayRegion(stateArray, 0, 1, &javaState);
        throwIfJniExceptionPending(env, kStatePending);

        if (atrLength > kAtrCapacity) {
            throwFatal(env, guard_sites::kStatusAtrOverrun,
                       "pcbAtrLen=" + std::to_string(atrLength) + " exceeds buffer of " +
                           std::to_string(kAtrCapacity));
        }
        return newByteResult(env, atr, atrLength,
                             {kNewByteArrayPending, kNewByteArrayNull, kFillPending});
    });
}
