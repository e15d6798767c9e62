#include "fake_jni_env.h"

#include <cstddef>
#include <cstring>
#include <set>
#include <type_traits>

namespace fakejni {

namespace {

// Functions a VM allows while an exception is pending.
const std::set<std::string> kSafeWhilePending = {
    "ExceptionCheck",           "ExceptionOccurred",
    "ExceptionClear",           "FatalError",
    "ReleaseStringUTFChars",    "ReleaseStringChars",
    "ReleaseByteArrayElements", "ReleaseIntArrayElements",
};

const char* kindName(Kind kind) {
    switch (kind) {
        case Kind::Class:
            return "class";
        case Kind::String:
            return "string";
        case Kind::ByteArray:
            return "byte[]";
        case Kind::IntArray:
            return "int[]";
        case Kind::ObjectArray:
            return "Object[]";
        case Kind::Throwable:
            return "throwable";
    }
    return "?";
}

}  // namespace

FakeJniEnv::FakeJniEnv() {
    static_assert(std::is_standard_layout<Holder>::value, "JNIEnv* must lead back to its holder");
    std::memset(&table, 0, sizeof table);
    fillFunctionTable(table);
    holder.env.functions = &table;
    holder.owner = this;
}

FakeJniEnv::~FakeJniEnv() = default;

FakeJniEnv& FakeJniEnv::of(JNIEnv* env) { return *reinterpret_cast<Holder*>(env)->owner; }

void FakeJniEnv::pendOn(const std::string& function, jthrowable exception, int call) {
    script.add(function, call, Fault{FaultKind::Exception, exception, 0});
}

void FakeJniEnv::nullOn(const std::string& function, int call) {
    script.add(function, call, Fault{FaultKind::Null, nullptr, 0});
}

void FakeJniEnv::codeOn(const std::string& function, jint code, int call) {
    script.add(function, call, Fault{FaultKind::Code, nullptr, code});
}

std::vector<std::string> FakeJniEnv::callNames() const {
    std::vector<std::string> names;
    for (const JniCall& c : record) {
        names.push_back(c.function);
    }
    return names;
}

int FakeJniEnv::count(const std::string& function) const {
    int n = 0;
    for (const JniCall& c : record) {
        n += c.function == function ? 1 : 0;
    }
    return n;
}

Fault FakeJniEnv::enter(const char* function, std::string detail) {
    if (pendingException != nullptr && kSafeWhilePending.count(function) == 0) {
        problem(std::string(function) + " called with an exception pending");
    }
    record.push_back(JniCall{function, std::move(detail)});
    return script.next(function);
}

Object* FakeJniEnv::deref(jobject ref, const char* function, Kind kind) {
    Object* object = objects.find(ref);
    if (ref == nullptr) {
        problem(std::string(function) + ": null " + kindName(kind));
    } else if (object == nullptr) {
        problem(std::string(function) + ": not a live reference");
    } else if (object->kind != kind) {
        problem(std::string(function) + ": expected a " + kindName(kind) + ", got a " +
                kindName(object->kind));
        return nullptr;
    }
    return object;
}

jthrowable FakeJniEnv::raiseNew(const std::string& className, const std::string& message) {
    jthrowable t = objects.newThrowable(className, message);
    pendingException = t;
    return t;
}

void* FakeJniEnv::lend(Object* object, const void* data, size_t bytes, size_t terminatorBytes) {
    auto borrow = std::make_unique<Borrow>();
    borrow->object = object;
    borrow->bytes = bytes;
    // Exactly the size asked for (never zero), so that ASan sees overruns.
    borrow->storage.reset(new char[bytes + terminatorBytes + (bytes + terminatorBytes == 0)]());
    if (bytes != 0) {
        std::memcpy(borrow->storage.get(), data, bytes);
    }
    void* pointer = borrow->storage.get();
    borrows[pointer] = std::move(borrow);
    return pointer;
}

std::unique_ptr<Borrow> FakeJniEnv::takeBack(const void* pointer, const char* function) {
    auto found = borrows.find(pointer);
    if (found == borrows.end()) {
        problem(std::string(function) + ": pointer was not handed out or is already released");
        return nullptr;
    }
    std::unique_ptr<Borrow> borrow = std::move(found->second);
    borrows.erase(found);
    return borrow;
}

std::string FakeJniEnv::classNameOf(jobject object) {
    Object* o = objects.find(object);
    if (o == nullptr) {
        problem("classNameOf: not a live reference");
        return {};
    }
    return o->className;
}

std::u16string FakeJniEnv::stringChars(jstring s) {
    Object* o = deref(s, "stringChars", Kind::String);
    return o != nullptr ? o->chars : std::u16string{};
}

std::vector<jbyte> FakeJniEnv::bytesOf(jbyteArray array) {
    Object* o = deref(array, "bytesOf", Kind::ByteArray);
    return o != nullptr ? o->bytes : std::vector<jbyte>{};
}

std::vector<jint> FakeJniEnv::intsOf(jintArray array) {
    Object* o = deref(array, "intsOf", Kind::IntArray);
    return o != nullptr ? o->ints : std::vector<jint>{};
}

std::vector<jobject> FakeJniEnv::elementsOf(jobjectArray array) {
    Object* o = deref(array, "elementsOf", Kind::ObjectArray);
    return o != nullptr ? o->elements : std::vector<jobject>{};
}

}  // namespace fakejni
