// Any failure other than a PC/SC error code: a JNI call that failed, an
// unusable argument, an unexpected exception. Carries the failure site's fixed
// number and the Java exception that caused it, if any.
#pragma once

#include <jni.h>

#include <stdexcept>
#include <string>

namespace velk {

class VelkCardFatalException : public std::runtime_error {
  public:
    VelkCardFatalException(JNIEnv* env, std::string line, std::string message, jthrowable cause);

    // Leaves a Java VelkCardFatalException pending in env; aborts the VM if
    // that cannot be done.
    void throwToJava();

    const std::string& getLine() const { return line; }
    const std::string& getMessage() const { return message; }
    jthrowable getCause() const { return cause; }

  private:
    JNIEnv* env;
    std::string line;
    std::string message;
    jthrowable cause;
};

}  // namespace velk
