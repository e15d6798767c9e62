// Native methods of velksdk.VelkReader: thin adapters over the flat functions.
// Outcomes are return values; nothing here raises a Java exception.
#include <jni.h>

#include "jni/reader_handle.h"
#include "velkreader.h"

using velk::readerHandleFromJava;
using velk::readerHandleToJava;

namespace {

constexpr jsize kDataBytes = 3;

// A null array counts as too short: GetArrayLength would crash on it.
bool tooShort(JNIEnv* env, jbyteArray data) {
    return data == nullptr || env->GetArrayLength(data) < kDataBytes;
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_velksdk_VelkReader_openImpl(JNIEnv*, jclass) {
    VelkReaderHandle reader = nullptr;
    if (VelkReaderOpen(&reader) == 0) {
        return 0;
    }
    return readerHandleToJava(reader);
}

JNIEXPORT void JNICALL Java_velksdk_VelkReader_closeImpl(JNIEnv*, jclass, jlong handle) {
    if (handle == 0) {
        return;
    }
    VelkReaderHandle reader = readerHandleFromJava(handle);
    VelkReaderClose(&reader);
}

JNIEXPORT jboolean JNICALL Java_velksdk_VelkReader_receiveW26Impl(JNIEnv* env, jclass, jlong handle,
                                                                  jbyteArray data) {
    if (tooShort(env, data)) {
        return JNI_FALSE;
    }
    if (handle == 0) {
        return JNI_FALSE;
    }
    jbyte buffer[kDataBytes] = {};
    if (!VelkReaderReceiveW26(readerHandleFromJava(handle), buffer, kDataBytes)) {
        return JNI_FALSE;
    }
    env->SetByteArrayRegion(data, 0, kDataBytes, buffer);
    return JNI_TRUE;
}

JNIEXPORT jint JNICALL Java_velksdk_VelkReader_receiveW26TImpl(JNIEnv* env, jclass, jlong handle,
                                                               jbyteArray data, jint timeout) {
    if (tooShort(env, data)) {
        return 0;
    }
    if (handle == 0) {
        return 0;
    }
    jbyte buffer[kDataBytes] = {};
    int rc = VelkReaderReceiveW26T(readerHandleFromJava(handle), buffer, kDataBytes, timeout);
    if (rc != kDataBytes) {
        return rc;
    }
    env->SetByteArrayRegion(data, 0, kDataBytes, buffer);
    return kDataBytes;
}

}  // extern "C"
