// The objects a fake VM hands out as references: classes, strings, primitive
// and object arrays, throwables. A reference is the address of its Object.
#pragma once

#include <jni.h>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace fakejni {

enum class Kind { Class, String, ByteArray, IntArray, ObjectArray, Throwable };

struct Object {
    Kind kind;
    // A class names the class it stands for; every other object its own class.
    std::string className;
    std::u16string chars;  // String: UTF-16 code units
    std::string utf;       // String: the same text as modified UTF-8
    std::vector<jbyte> bytes;
    std::vector<jint> ints;
    std::vector<jobject> elements;  // ObjectArray
    std::string elementClass;       // ObjectArray
    bool hasMessage = false;        // Throwable
    std::string message;            // Throwable
    jobject cause = nullptr;        // Throwable
};

// What a method ID stands for.
struct Method {
    std::string className;
    std::string name;
    std::string signature;
};

// Classes and method IDs live as long as the process, as a VM's do, so that
// the bridge's process-wide caches stay valid from one fake environment to
// the next. FindClass hands out fresh local references; NewGlobalRef on any
// of them yields the one canonical class object for the name.
namespace registry {
jclass canonicalClass(const std::string& name);
bool isCanonical(const Object* object);
jmethodID method(const std::string& className, const std::string& name,
                 const std::string& signature);
const Method* methodOf(jmethodID id);  // null if id was never handed out
}  // namespace registry

class Heap {
  public:
    jstring newString(const std::u16string& units);
    // From modified UTF-8, kept byte for byte as NewStringUTF received it.
    jstring newStringUtf(const std::string& bytes);
    jbyteArray newByteArray(std::vector<jbyte> bytes);
    jintArray newIntArray(std::vector<jint> ints);
    jobjectArray newObjectArray(const std::string& elementClass, std::vector<jobject> elements);
    jthrowable newThrowable(const std::string& className, const std::string& message,
                            jobject cause = nullptr);
    jthrowable newThrowableWithoutMessage(const std::string& className, jobject cause = nullptr);
    jclass newLocalClass(const std::string& name);

    // The object behind a live reference (this heap's or a canonical class),
    // null for anything else.
    Object* find(jobject ref) const;

  private:
    Object* add(std::unique_ptr<Object> object);

    std::vector<std::unique_ptr<Object>> objects;
    std::unordered_set<const Object*> live;
};

template <typename Ref>
Ref refOf(Object* object) {
    return reinterpret_cast<Ref>(object);
}

}  // namespace fakejni
