#include "methods/bridge_call.h"

#include <string>

namespace velk {

void raiseUnexpected(JNIEnv* env, int catchAllLine) noexcept {
    try {
        VelkCardFatalException unexpected(env, std::to_string(catchAllLine),
                                          "got unexpected exception", nullptr);
        unexpected.throwToJava();
    } catch (...) {
        // Not even the report could be built (memory is gone): leaving the
        // native method with a C++ exception would end the VM less clearly.
        env->FatalError("got unexpected exception and could not report it");
    }
}

void raiseInJava(VelkCardException& e, JNIEnv* env, int catchAllLine) noexcept {
    try {
        e.throwToJava();
    } catch (...) {
        raiseUnexpected(env, catchAllLine);
    }
}

void raiseInJava(VelkCardFatalException& e, JNIEnv* env, int catchAllLine) noexcept {
    try {
        e.throwToJava();
    } catch (...) {
        raiseUnexpected(env, catchAllLine);
    }
}

}  // namespace velk
