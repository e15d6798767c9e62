#include "jni/java_string.h"

#include <cstring>

#include "errors/failures.h"
#include "errors/guard_sites.h"

namespace velk {

JavaString::JavaString(JNIEnv* env, jstring s) { set(env, s); }

JavaString::~JavaString() { clear(); }

void JavaString::clear() {
    delete[] chars;
    chars = nullptr;
}

void JavaString::set(JNIEnv* env, jstring s) {
    clear();
    if (s == nullptr) {
        return;
    }
    jsize n = env->GetStringUTFLength(s);
    chars = new char[static_cast<size_t>(n) + 1];
    const char* utf = env->GetStringUTFChars(s, nullptr);
    if (utf == nullptr) {
        clear();
        // With an exception pending the caller's own check reports it; without
        // one there is nothing to copy and no way to say why.
        if (env->ExceptionCheck() != JNI_TRUE) {
            throwFatal(env, guard_sites::kStringCharsNull, "chars=NULL");
        }
        return;
    }
    std::memcpy(chars, utf, static_cast<size_t>(n));
    chars[n] = '\0';
    env->ReleaseStringUTFChars(s, utf);
}

}  // namespace velk
