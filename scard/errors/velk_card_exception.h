// A PC/SC call failed: carries the text of the Java VelkCardException.
#pragma once

#include <jni.h>

#include <stdexcept>
#include <string>

namespace velk {

class VelkCardException : public std::runtime_error {
  public:
    VelkCardException(JNIEnv* env, std::string message);

    // Leaves a Java VelkCardException pending in env; aborts the VM if that
    // cannot be done.
    void throwToJava();

    const std::string& getMessage() const { return message; }

  private:
    JNIEnv* env;
    std::string message;
};

}  // namespace velk
