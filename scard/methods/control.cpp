// Sending one control command to the reader of a connection.
#include <jni.h>
#include <winscard.h>

#include <cstddef>
#include <string>

#include "com_vormel_kx_platform_velksmartcard_VelkSCardControl.h"  // javac -h
#include "errors/error_text.h"
#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "methods/bridge_call.h"
#include "methods/byte_request.h"
#include "methods/byte_result.h"
#include "methods/conversions.h"

using namespace velk;

namespace {

constexpr int kLengthPending = 1082;
constexpr int kElementsPending = 1083;
constexpr int kElementsNull = 1084;
constexpr int kReleasePending = 1085;
constexpr int kNewByteArrayPending = 1086;
constexpr int kNewByteArrayNull = 1087;
constexpr int kFillPending = 1088;
constexpr int kUnexpected = 1089;

// The largest answer pcsc-lite carries; it refuses a larger buffer.
constexpr DWORD kAnswerCapacity = MAX_BUFFER_SIZE_EXTENDED;

// Reader commands are short; a longer one goes to the heap.
constexpr std::size_t kCommandStackCapacity = 1024;

}  // namespace

extern "C" JNIEXPORT jbyteArray JNICALL
Java_com_vormel_kx_platform_velksmartcard_VelkSCardControl_SCardControl(JNIEnv* env, jclass,
                                                                        jlong card,
                                                                        jint controlCode,
                                                                        jbyteArray command) {
    return bridgeCall(env, kUnexpected, jbyteArray{nullptr}, [&] {
        ByteRequest<kCommandStackCapacity> copy(
            env, command,
            {guard_sites::kControlCommandNull, "command=NULL", kLengthPending, kElementsPending,
             kElementsNull, kReleasePending});

        // On the stack, so that no answer costs a heap allocation.
        BYTE answer[kAnswerCapacity];
        DWORD answerLength = 0;
        LONG rv = SCardControl(handleFromJava(card), dwordFromJava(controlCode), copy.data(),
                               copy.size(), answer, kAnswerCapacity, &answerLength);
        throwIfPcscFailed(env, rv, "SCardControl failed with code ", controlErrorCodeToStr);
        if (answerLength > kAnswerCapacity) {
            throwFatal(env, guard_sites::kControlAnswerOverrun,
                       "lpBytesReturned=" + std::to_string(answerLength) + " exceeds buffer of " +
                           std::to_string(kAnswerCapacity));
        }

        return newByteResult(env, answer, answerLength,
                             {kNewByteArrayPending, kNewByteArrayNull, kFillPending});
    });
}
