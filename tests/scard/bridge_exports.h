// The bridge's JNI entry points, as the VM binds them by name.
#pragma once

#include <jni.h>

extern "C" {
jlong Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardEstablishContext(JNIEnv*, jclass,
                                                                                jint);
void Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardReleaseContext(JNIEnv*, jclass,
                                                                             jlong);
jobjectArray Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardListReaders(JNIEnv*, jclass,
                                                                                  jlong);
jlong Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardConnect(JNIEnv*, jclass, jlong,
                                                                       jstring, jint, jint,
                                                                       jintArray);
void Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardReconnect(JNIEnv*, jclass, jlong,
                                                                        jint, jint, jint,
                                                                        jintArray);
void Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardDisconnect(JNIEnv*, jclass, jlong,
                                                                         jint);
void Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardBeginTransaction(JNIEnv*, jclass,
                                                                               jlong);
void Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardEndTransaction(JNIEnv*, jclass, jlong,
                                                                             jint);
jintArray Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardGetStatusChange(JNIEnv*, jclass,
                                                                                   jlong, jlong,
                                                                                   jintArray,
                                                                                   jobjectArray);
jbyteArray Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardStatus(JNIEnv*, jclass, jlong,
                                                                           jintArray);
jbyteArray Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardTransmit(JNIEnv*, jclass, jlong,
                                                                             jint, jbyteArray);
jbyteArray Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardGetAttr(JNIEnv*, jclass, jlong,
                                                                            jint);
}
