// Owns a NUL-terminated copy of a Java string's modified UTF-8 characters.
#pragma once

#include <jni.h>

namespace velk {

class JavaString {
  public:
    JavaString() = default;
    JavaString(JNIEnv* env, jstring s);
    ~JavaString();
    JavaString(const JavaString&) = delete;
    JavaString& operator=(const JavaString&) = delete;

    // Replaces the held copy with one of s; a null s leaves the object empty.
    // Callers check for a pending Java exception afterwards.
    void set(JNIEnv* env, jstring s);

    // The held characters, or null.
    char* c_str() { return chars; }

  private:
    void clear();

    char* chars = nullptr;
};

}  // namespace velk
