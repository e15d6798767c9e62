#include "errors/velk_card_fatal_exception.h"

#include <utility>

#include "errors/failures.h"
#include "jni/jni_support.h"

namespace velk {

namespace {
constexpr int kNewStringPending = 899;
constexpr int kNewStringNull = 902;
constexpr int kNewObjectPending = 906;
constexpr int kNewObjectNull = 909;
constexpr int kThrowFailed = 915;
constexpr int kAbortWhileThrowing = 920;
}  // namespace

VelkCardFatalException::VelkCardFatalException(JNIEnv* env, std::string line, std::string message,
                                               jthrowable cause)
    : std::runtime_error(message),
      env(env),
      line(std::move(line)),
      message(std::move(message)),
      cause(cause) {}

void VelkCardFatalException::throwToJava() {
    const std::string javaMessage = message + " (line=" + line + ")";
    try {
        jclass clazz = getJavaClass(env, velkCardFatalExceptionClassName);
        jmethodID init =
            getJavaMethod(env, clazz, initMethodName, velkCardFatalExceptionInitSignature);
        jstring s = env->NewStringUTF(javaMessage.c_str());
        throwIfJniExceptionPending(env, kNewStringPending);
        if (s == nullptr) {
            throwFatal(env, kNewStringNull, "s=NULL");
        }
        auto exception = static_cast<jthrowable>(env->NewObject(clazz, init, s, cause));
        throwIfJniExceptionPending(env, kNewObjectPending);
        if (exception == nullptr) {
            throwFatal(env, kNewObjectNull, "exception=NULL");
        }
        jint r = env->Throw(exception);
        if (r != 0) {
            throwFatal(env, kThrowFailed, "r=" + std::to_string(r));
        }
    } catch (VelkCardFatalException& second) {
        jniFatalError(env, "trying to throw VelkCardFatalException (message=[" + message +
                               "].line=" + line + ") and got another one (message=[" +
                               second.message + "].line=" + second.line + ")" +
                               " (line=" + lineText(kAbortWhileThrowing) + ")");
    }
}

}  // namespace velk
