#include "methods/bridge_call.h"

#include <sstream>

namespace velk {

void raiseUnexpected(JNIEnv* env, int catchAllLine) noexcept {
    try {
        std::ostringstream line;
        line << catchAllLine;
        std::ostringstream message;
        message << "got unexpected exception";
        VelkCardFatalException unexpected(env, line.str(), message.str(), nullptr);
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
