// Helpers every native method uses to talk to the VM: pending-exception
// checks, cached class and method lookups, and the last-resort abort.
#pragma once

#include <jni.h>

#include <string>

namespace velk {

extern const std::string javaStringClassName;
extern const std::string velkCardFatalExceptionClassName;
extern const std::string initMethodName;
extern const std::string velkCardFatalExceptionInitSignature;
extern const std::string velkCardExceptionClassName;

// The pending Java exception, cleared, or null when none is pending.
jthrowable getAndClearJniExceptionOccurred(JNIEnv* env);

// Aborts the VM with text. A real VM never returns from this; a test double
// of the VM may, and the caller then carries on to its normal return.
void jniFatalError(JNIEnv* env, const std::string& text);

// Global reference to the named class (slash form), looked up once per
// process. Never null: failures throw VelkCardFatalException.
jclass getJavaClass(JNIEnv* env, const std::string& name);

// Method ID for (name, signature), looked up once per process; the class is
// consulted only on the first lookup. Never null: failures throw.
jmethodID getJavaMethod(JNIEnv* env, jclass clazz, const std::string& name,
                        const std::string& signature);

}  // namespace velk
