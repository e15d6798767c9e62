#include "jni/jni_support.h"

#include <map>
#include <mutex>
#include <utility>

#include "errors/failures.h"
#include "errors/velk_card_fatal_exception.h"

namespace velk {

// Constructed at load time in this order, before the caches below.
const std::string javaStringClassName = "java/lang/String";
const std::string velkCardFatalExceptionClassName =
    "com/vormel/kx/platform/velksmartcard/VelkCardFatalException";
const std::string initMethodName = "<init>";
const std::string velkCardFatalExceptionInitSignature =
    "(Ljava/lang/String;Ljava/lang/Throwable;)V";
const std::string velkCardExceptionClassName =
    "com/vormel/kx/platform/velksmartcard/VelkCardException";

namespace {

constexpr int kFindClassPending = 831;
constexpr int kFindClassNull = 834;
constexpr int kNewGlobalRefPending = 837;
constexpr int kNewGlobalRefNull = 840;
constexpr int kGetMethodIdPending = 854;
constexpr int kGetMethodIdNull = 857;

std::map<std::string, jclass> javaClassCache;
std::map<std::pair<std::string, std::string>, jmethodID> javaMethodCache;

// Native methods run on many VM threads at once and std::map is not safe for
// a concurrent insert and lookup; one lock per cache keeps it sound. The lock
// is held across the VM lookup so that each key is looked up only once.
std::mutex javaClassCacheMutex;
std::mutex javaMethodCacheMutex;

}  // namespace

jthrowable getAndClearJniExceptionOccurred(JNIEnv* env) {
    if (env->ExceptionCheck() != JNI_TRUE) {
        return nullptr;
    }
    jthrowable pending = env->ExceptionOccurred();
    env->ExceptionClear();
    return pending;
}

void jniFatalError(JNIEnv* env, const std::string& text) { env->FatalError(text.c_str()); }

jclass getJavaClass(JNIEnv* env, const std::string& name) {
    std::lock_guard<std::mutex> lock(javaClassCacheMutex);
    auto found = javaClassCache.find(name);
    if (found != javaClassCache.end()) {
        return found->second;
    }
    jclass local = env->FindClass(name.c_str());
    throwIfJniExceptionPending(env, kFindClassPending);
    if (local == nullptr) {
        throwFatal(env, kFindClassNull, "javaClass=NULL. name=[" + name + "]");
    }
    auto global = static_cast<jclass>(env->NewGlobalRef(local));
    throwIfJniExceptionPending(env, kNewGlobalRefPending);
    if (global == nullptr) {
        throwFatal(env, kNewGlobalRefNull, "javaClassGlobal=NULL. name=[" + name + "]");
    }
    javaClassCache.emplace(name, global);
    return global;
}

jmethodID getJavaMethod(JNIEnv* env, jclass clazz, const std::string& name,
                        const std::string& signature) {
    std::lock_guard<std::mutex> lock(javaMethodCacheMutex);
    auto key = std::make_pair(name, signature);
    auto found = javaMethodCache.find(key);
    if (found != javaMethodCache.end()) {
        return found->second;
    }
    jmethodID method = env->GetMethodID(clazz, name.c_str(), signature.c_str());
    throwIfJniExceptionPending(env, kGetMethodIdPending);
    if (method == nullptr) {
        throwFatal(env, kGetMethodIdNull,
                   "javaMethod=NULL. name=[" + name + "]. signature=[" + signature + "]");
    }
    javaMethodCache.emplace(std::move(key), method);
    return method;
}

}  // namespace velk
