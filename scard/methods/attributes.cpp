// Reading one attribute of the reader and card of a connection.
#include <jni.h>
#include <winscard.h>

#include <string>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"  // javac -h, from VelkSCard.java
#include "errors/error_text.h"
#include "errors/failures.h"
#include "errors/guard_sites.h"
#include "methods/bridge_call.h"
#include "methods/byte_result.h"
#include "methods/conversions.h"

using namespace velk;

namespace {

constexpr int kNewByteArrayPending = 798;
constexpr int kNewByteArrayNull = 801;
constexpr int kFillPending = 804;
constexpr int kUnexpected = 816;

constexpr DWORD kAttributeCapacity = 2048;

}  // namespace

extern "C" JNIEXPORT jbyteArray JNICALL
Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardGetAttr(JNIEnv* env, jclass, jlong card,
                                                                 jint attributeId) {
    return bridgeCall(env, kUnexpected, jbyteArray{nullptr}, [&]() -> jbyteArray {
        SCARDHANDLE hCard = handleFromJava(card);
        DWORD id = dwordFromJava(attributeId);
        DWORD length = kAttributeCapacity;
        LONG rv = SCardGetAttrib(hCard, id, nullptr, &length);
        // PC/SC lite gives SCARD_E_UNEXPECTED the same value; for an attribute
        // it means that the reader does not support it.
        if (isCode(rv, SCARD_E_UNSUPPORTED_FEATURE)) {
            return nullptr;
        }
        throwIfPcscFailed(env, rv, "SCardGetAttr failed with code ");
        if (length > kAttributeCapacity) {
            throw VelkCardException(
                env, "SCardGetAttr requires pbAttr length of " + std::to_string(length) +
                         " which is more than static " + std::to_string(kAttributeCapacity));
        }

        BYTE attribute[kAttributeCapacity];
        const DWORD passed = length;
        rv = SCardGetAttrib(hCard, id, attribute, &length);
        if (isCode(rv, SCARD_E_INSUFFICIENT_BUFFER)) {
            throw VelkCardException(env, "SCardGetAttr insufficient pbAttr buffer size. Required=" +
                                             std::to_string(length) + ". " +
                                             sCardErrorCodeToStr(rv));
        }
        throwIfPcscFailed(env, rv, "SCardGetAttr failed with code ");
        if (length > passed) {
            throwFatal(env, guard_sites::kGetAttrOverrun,
                       "pcbAttrLen=" + std::to_string(length) + " exceeds buffer of " +
                           std::to_string(passed));
        }

        return newByteResult(env, attribute, length,
                             {kNewByteArrayPending, kNewByteArrayNull, kFillPending});
    });
}
