#include "errors/failures.h"

#include <string>
#include <utility>

#include "errors/error_text.h"
#include "errors/velk_card_exception.h"
#include "errors/velk_card_fatal_exception.h"
#include "jni/jni_support.h"

namespace velk {

std::string lineText(int line) { return std::to_string(line); }

void throwFatal(JNIEnv* env, int line, std::string message, jthrowable cause) {
    throw VelkCardFatalException(env, lineText(line), std::move(message), cause);
}

void throwIfJniExceptionPending(JNIEnv* env, int line) {
    if (jthrowable pending = getAndClearJniExceptionOccurred(env)) {
        throwFatal(env, line, "JNI exception occurred", pending);
    }
}

void throwIfPcscFailed(JNIEnv* env, LONG code, const char* prefix, std::string (*codeText)(long)) {
    if (code == SCARD_S_SUCCESS) {
        return;
    }
    throw VelkCardException(env, prefix + codeText(code));
}

}  // namespace velk
