// Sending one command APDU to the card of a connection.
#include <jni.h>
#include <winscard.h>

#include <cstddef>
#include <string>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "methods/bridge_call.h"
#include "methods/byte_request.h"
#include "methods/byte_result.h"
#include "methods/conversions.h"

using namespace velk;

namespace {

constexpr int kIllegalProtocol = 630;
constexpr int kLengthPending = 634;
constexpr int kElementsPending = 637;
constexpr int kElementsNull = 640;
constexpr int kReleasePending = 648;
constexpr int kNewByteArrayPending = 660;
constexpr int kNewByteArrayNull = 663;
constexpr int kFillPending = 666;
constexpr int kUnexpected = 684;

constexpr DWORD kResponseCapacity = 1024;

// Requests up to the response buffer's size are copied on the stack; longer
// ones go to the heap.
constexpr std::size_t kRequestStackCapacity = 1024;

SCARD_IO_REQUEST sendPci(JNIEnv* env, jint protocol) {
    switch (protocol) {
        case SCARD_PROTOCOL_T0:
            return *SCARD_PCI_T0;
        case SCARD_PROTOCOL_T1:
            return *SCARD_PCI_T1;
        default:
            throwFatal(env, kIllegalProtocol, "illegal protocol " + std::to_string(protocol));
    }
}

}  // namespace

extern "C" JNIEXPORT jbyteArray JNICALL
Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardTransmit(JNIEnv* env, jclass, jlong card,
                                                                  jint protocol,
                                                                  jbyteArray request) {
    return bridgeCall(env, kUnexpected, jbyteArray{nullptr}, [&] {
        SCARD_IO_REQUEST pci = sendPci(env, protocol);
        ByteRequest<kRequestStackCapacity> copy(
            env, request,
            {guard_sites::kTransmitRequestNull, "request=NULL", kLengthPending, kElementsPending,
             kElementsNull, kReleasePending});

        BYTE response[kResponseCapacity];
        DWORD responseLength = kResponseCapacity;
        LONG rv = SCardTransmit(handleFromJava(card), &pci, copy.data(), copy.size(), nullptr,
                                response, &responseLength);
        throwIfPcscFailed(env, rv, "SCardTransmit failed with code ");
        if (responseLength > kResponseCapacity) {
            throwFatal(env, guard_sites::kTransmitResponseOverrun,
                       "pcbRecvLength=" + std::to_string(responseLength) + " exceeds buffer of " +
                           std::to_string(kResponseCapacity));
        }

        return newByteResult(env, response, responseLength,
                             {kNewByteArrayPending, kNewByteArrayNull, kFillPending});
    });
}
