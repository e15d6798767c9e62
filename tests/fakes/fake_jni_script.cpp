#include "fake_jni_script.h"

#include <algorithm>
#include <stdexcept>

namespace fakejni {

namespace {
const char* const kImplemented[] = {
    "FindClass",
    "GetMethodID",
    "NewGlobalRef",
    "NewObject",
    "Throw",
    "ThrowNew",
    "ExceptionCheck",
    "ExceptionOccurred",
    "ExceptionClear",
    "FatalError",
    "NewStringUTF",
    "GetStringUTFLength",
    "GetStringUTFChars",
    "ReleaseStringUTFChars",
    "GetStringLength",
    "GetStringChars",
    "ReleaseStringChars",
    "GetArrayLength",
    "NewObjectArray",
    "GetObjectArrayElement",
    "SetObjectArrayElement",
    "NewByteArray",
    "NewIntArray",
    "GetByteArrayElements",
    "GetIntArrayElements",
    "ReleaseByteArrayElements",
    "ReleaseIntArrayElements",
    "SetByteArrayRegion",
    "SetIntArrayRegion",
};
}  // namespace

bool isImplemented(const std::string& function) {
    return std::find(std::begin(kImplemented), std::end(kImplemented), function) !=
           std::end(kImplemented);
}

void Script::add(const std::string& function, int call, Fault fault) {
    if (!isImplemented(function)) {
        throw std::invalid_argument("fake JNI does not implement " + function);
    }
    entries[function].push_back(Entry{call, fault});
}

Fault Script::next(const std::string& function) {
    int call = ++counts[function];
    auto found = entries.find(function);
    if (found == entries.end()) {
        return Fault{};
    }
    // A fault for this very call wins over one for every call.
    for (const Entry& e : found->second) {
        if (e.call == call) {
            return e.fault;
        }
    }
    for (const Entry& e : found->second) {
        if (e.call == 0) {
            return e.fault;
        }
    }
    return Fault{};
}

int Script::callsOf(const std::string& function) const {
    auto found = counts.find(function);
    return found == counts.end() ? 0 : found->second;
}

}  // namespace fakejni
