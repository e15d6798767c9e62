// The benchmark's helpers in the VM: the PC/SC calls made from C in a loop,
// with no JNI between them (one native call times n PC/SC calls), and the
// stand-in's call counters when the stand-in is what was loaded.
#include <dlfcn.h>
#include <jni.h>
#include <string.h>
#include <winscard.h>

#define BENCH_NATIVE(type, name) JNIEXPORT type JNICALL Java_com_vormel_kx_bench_CPcsc_##name

// -1 when the loaded PC/SC library is not the stand-in.
BENCH_NATIVE(jlong, calls)(JNIEnv* env, jclass clazz, jstring function) {
    (void)clazz;
    long (*counter)(const char*) =
        (long (*)(const char*))dlsym(RTLD_DEFAULT, "velk_fake_pcsc_calls");
    if (counter == NULL) {
        return -1;
    }
    const char* name = (*env)->GetStringUTFChars(env, function, NULL);
    if (name == NULL) {
        return -1;
    }
    long calls = counter(name);
    (*env)->ReleaseStringUTFChars(env, function, name);
    return calls;
}

// Each loop returns the bytes received over all n calls, or -1 after the
// first failed call.

BENCH_NATIVE(jlong, transmit)
(JNIEnv* env, jclass clazz, jlong card, jint protocol, jbyteArray command, jint n) {
    (void)clazz;
    BYTE request[1024];
    jsize length = (*env)->GetArrayLength(env, command);
    if (length < 0 || length > (jsize)sizeof request) {
        return -1;
    }
    (*env)->GetByteArrayRegion(env, command, 0, length, (jbyte*)request);
    const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    jlong total = 0;
    for (jint i = 0; i < n; ++i) {
        BYTE response[1024];
        DWORD responseLength = sizeof response;
        if (SCardTransmit((SCARDHANDLE)card, pci, request, (DWORD)length, NULL, response,
                          &responseLength) != SCARD_S_SUCCESS) {
            return -1;
        }
        total += responseLength;
    }
    return total;
}

BENCH_NATIVE(jlong, status)(JNIEnv* env, jclass clazz, jlong card, jint n) {
    (void)env;
    (void)clazz;
    jlong total = 0;
    for (jint i = 0; i < n; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        DWORD state = 0;
        DWORD protocol = 0;
        BYTE atr[MAX_ATR_SIZE];
        DWORD atrLength = sizeof atr;
        if (SCardStatus((SCARDHANDLE)card, name, &nameLength, &state, &protocol, atr, &atrLength) !=
            SCARD_S_SUCCESS) {
            return -1;
        }
        total += atrLength;
    }
    return total;
}

BENCH_NATIVE(jlong, statusChange)
(JNIEnv* env, jclass clazz, jlong context, jstring reader0, jstring reader1, jint n) {
    (void)clazz;
    char names[2][256];
    jstring readers[2] = {reader0, reader1};
    for (int r = 0; r < 2; ++r) {
        jsize length = (*env)->GetStringUTFLength(env, readers[r]);
        if (length >= (jsize)sizeof names[r]) {
            return -1;
        }
        (*env)->GetStringUTFRegion(env, readers[r], 0, (*env)->GetStringLength(env, readers[r]),
                                   names[r]);
        names[r][length] = '\0';
    }
    jlong total = 0;
    for (jint i = 0; i < n; ++i) {
        SCARD_READERSTATE states[2];
        memset(states, 0, sizeof states);
        for (int r = 0; r < 2; ++r) {
            states[r].szReader = names[r];
            states[r].dwCurrentState = SCARD_STATE_UNAWARE;
        }
        if (SCardGetStatusChange((SCARDCONTEXT)context, 0, states, 2) != SCARD_S_SUCCESS) {
            return -1;
        }
        total += states[0].cbAtr + states[1].cbAtr;
    }
    return total;
}

// The two calls a caller makes who does not know the list's length.
BENCH_NATIVE(jlong, listReaders)(JNIEnv* env, jclass clazz, jlong context, jint n) {
    (void)env;
    (void)clazz;
    jlong total = 0;
    for (jint i = 0; i < n; ++i) {
        char list[4096];
        DWORD length = 0;
        if (SCardListReaders((SCARDCONTEXT)context, NULL, NULL, &length) != SCARD_S_SUCCESS ||
            length > sizeof list) {
            return -1;
        }
        if (SCardListReaders((SCARDCONTEXT)context, NULL, list, &length) != SCARD_S_SUCCESS) {
            return -1;
        }
        total += length;
    }
    return total;
}

// What one JNI call costs from native code: n calls of ExceptionCheck and n
// of GetArrayLength, the cheapest functions the bridge calls.
BENCH_NATIVE(jlong, exceptionChecks)(JNIEnv* env, jclass clazz, jint n) {
    (void)clazz;
    jlong pending = 0;
    for (jint i = 0; i < n; ++i) {
        pending += (*env)->ExceptionCheck(env);
    }
    return pending;
}

BENCH_NATIVE(jlong, arrayLengths)(JNIEnv* env, jclass clazz, jbyteArray array, jint n) {
    (void)clazz;
    jlong total = 0;
    for (jint i = 0; i < n; ++i) {
        total += (*env)->GetArrayLength(env, array);
    }
    return total;
}
