#include "fake_jni_heap.h"

#include <map>
#include <mutex>
#include <tuple>
#include <utility>

#include "modified_utf8.h"

namespace fakejni {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<Object>> classes;
    std::unordered_set<const Object*> canonical;
    std::map<std::tuple<std::string, std::string, std::string>, std::unique_ptr<Method>> methods;
    std::unordered_set<const Method*> methodIds;
};

// Deliberately never destroyed: bridge caches may still hold these references
// while static destructors run.
Registry& theRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

namespace registry {

jclass canonicalClass(const std::string& name) {
    Registry& r = theRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto& slot = r.classes[name];
    if (!slot) {
        slot = std::make_unique<Object>();
        slot->kind = Kind::Class;
        slot->className = name;
        r.canonical.insert(slot.get());
    }
    return refOf<jclass>(slot.get());
}

bool isCanonical(const Object* object) {
    Registry& r = theRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.canonical.count(object) != 0;
}

jmethodID method(const std::string& className, const std::string& name,
                 const std::string& signature) {
    Registry& r = theRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto& slot = r.methods[std::make_tuple(className, name, signature)];
    if (!slot) {
        slot = std::make_unique<Method>(Method{className, name, signature});
        r.methodIds.insert(slot.get());
    }
    return reinterpret_cast<jmethodID>(slot.get());
}

const Method* methodOf(jmethodID id) {
    Registry& r = theRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto* method = reinterpret_cast<const Method*>(id);
    return r.methodIds.count(method) != 0 ? method : nullptr;
}

}  // namespace registry

Object* Heap::add(std::unique_ptr<Object> object) {
    Object* raw = object.get();
    objects.push_back(std::move(object));
    live.insert(raw);
    return raw;
}

jstring Heap::newString(const std::u16string& units) {
    auto o = std::make_unique<Object>();
    o->kind = Kind::String;
    o->className = "java/lang/String";
    o->chars = units;
    o->utf = toModifiedUtf8(units);
    return refOf<jstring>(add(std::move(o)));
}

jstring Heap::newStringUtf(const std::string& bytes) {
    auto o = std::make_unique<Object>();
    o->kind = Kind::String;
    o->className = "java/lang/String";
    o->chars = fromModifiedUtf8(bytes);
    o->utf = bytes;
    return refOf<jstring>(add(std::move(o)));
}

jbyteArray Heap::newByteArray(std::vector<jbyte> bytes) {
    auto o = std::make_unique<Object>();
    o->kind = Kind::ByteArray;
    o->className = "[B";
    o->bytes = std::move(bytes);
    return refOf<jbyteArray>(add(std::move(o)));
}

jintArray Heap::newIntArray(std::vector<jint> ints) {
    auto o = std::make_unique<Object>();
    o->kind = Kind::IntArray;
    o->className = "[I";
    o->ints = std::move(ints);
    return refOf<jintArray>(add(std::move(o)));
}

jobjectArray Heap::newObjectArray(const std::string& elementClass, std::vector<jobject> elements) {
    auto o = std::make_unique<Object>();
    o->kind = Kind::ObjectArray;
    o->className = "[L" + elementClass + ";";
    o->elementClass = elementClass;
    o->elements = std::move(elements);
    return refOf<jobjectArray>(add(std::move(o)));
}

jthrowable Heap::newThrowable(const std::string& className, const std::string& message,
                              jobject cause) {
    jthrowable t = newThrowableWithoutMessage(className, cause);
    Object* o = find(t);
    o->hasMessage = true;
    o->message = message;
    return t;
}

jthrowable Heap::newThrowableWithoutMessage(const std::string& className, jobject cause) {
    auto o = std::make_unique<Object>();
    o->kind = Kind::Throwable;
    o->className = className;
    o->cause = cause;
    return refOf<jthrowable>(add(std::move(o)));
}

jclass Heap::newLocalClass(const std::string& name) {
    auto o = std::make_unique<Object>();
    o->kind = Kind::Class;
    o->className = name;
    return refOf<jclass>(add(std::move(o)));
}

Object* Heap::find(jobject ref) const {
    auto* object = reinterpret_cast<Object*>(ref);
    if (object == nullptr) {
        return nullptr;
    }
    if (live.count(object) != 0 || registry::isCanonical(object)) {
        return object;
    }
    return nullptr;
}

}  // namespace fakejni
