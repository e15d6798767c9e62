#include "errors/velk_card_exception.h"

#include <utility>

#include "errors/failures.h"
#include "errors/velk_card_fatal_exception.h"
#include "jni/jni_support.h"

namespace velk {

namespace {
constexpr int kThrowNewFailed = 937;
constexpr int kAbortWhileThrowing = 942;
}  // namespace

VelkCardException::VelkCardException(JNIEnv* env, std::string message)
    : std::runtime_error(message), env(env), message(std::move(message)) {}

void VelkCardException::throwToJava() {
    try {
        jclass clazz = getJavaClass(env, velkCardExceptionClassName);
        jint r = env->ThrowNew(clazz, message.c_str());
        if (r != 0) {
            throwFatal(env, kThrowNewFailed, "r=" + std::to_string(r));
        }
    } catch (VelkCardFatalException& second) {
        jniFatalError(env, "trying to throw VelkCardException (message=[" + message +
                               "]) and got VelkCardFatalException (message=[" +
                               second.getMessage() + "].line=" + second.getLine() + ")" +
                               " (line=" + lineText(kAbortWhileThrowing) + ")");
    }
}

}  // namespace velk
