// The JNI function table of the fake VM. Each function records its call,
// applies what the test scripted for it, and otherwise behaves like a checking
// VM: bounds-checked regions and elements, copies that must be released.
#include <cstdarg>
#include <cstring>
#include <string>
#include <utility>

#include "fake_jni_env.h"

namespace fakejni {

namespace {

FakeJniEnv& self(JNIEnv* env) { return FakeJniEnv::of(env); }

// True when the scripted fault ends the call: the exception is then pending.
bool faulted(FakeJniEnv& f, const Fault& fault) {
    if (fault.kind == FaultKind::Exception) {
        f.raise(fault.exception);
        return true;
    }
    return fault.kind == FaultKind::Null;
}

std::string str(const char* s) { return s != nullptr ? s : "(null)"; }

bool outOfBounds(jsize start, jsize len, size_t size) {
    return start < 0 || len < 0 || static_cast<size_t>(start) + static_cast<size_t>(len) > size;
}

void raiseRegionOutOfBounds(FakeJniEnv& f, jsize start, jsize len, size_t size) {
    f.raiseNew("java/lang/ArrayIndexOutOfBoundsException",
               "Array region " + std::to_string(start) + ".." +
                   std::to_string(static_cast<long long>(start) + len) +
                   " out of bounds for length " + std::to_string(size));
}

void raiseIndexOutOfBounds(FakeJniEnv& f, jsize index, size_t size) {
    f.raiseNew(
        "java/lang/ArrayIndexOutOfBoundsException",
        "Index " + std::to_string(index) + " out of bounds for length " + std::to_string(size));
}

jclass JNICALL findClass(JNIEnv* env, const char* name) {
    FakeJniEnv& f = self(env);
    if (faulted(f, f.enter("FindClass", str(name)))) {
        return nullptr;
    }
    return f.heap().newLocalClass(str(name));
}

jmethodID JNICALL getMethodID(JNIEnv* env, jclass clazz, const char* name, const char* sig) {
    FakeJniEnv& f = self(env);
    Object* c = f.deref(clazz, "GetMethodID", Kind::Class);
    if (faulted(f, f.enter("GetMethodID", str(name) + " " + str(sig))) || c == nullptr) {
        return nullptr;
    }
    return registry::method(c->className, str(name), str(sig));
}

jobject JNICALL newGlobalRef(JNIEnv* env, jobject ref) {
    FakeJniEnv& f = self(env);
    Object* o = f.heap().find(ref);
    if (o == nullptr) {
        f.problem("NewGlobalRef: not a live reference");
    }
    if (faulted(f, f.enter("NewGlobalRef", o != nullptr ? o->className : "?")) || o == nullptr) {
        return nullptr;
    }
    jobject global = o->kind == Kind::Class ? registry::canonicalClass(o->className) : ref;
    f.addGlobal(global);
    return global;
}

// Only the (String, Throwable) constructor is faked: the bridge creates its
// fatal exception with it and nothing else.
jobject constructThrowable(FakeJniEnv& f, const char* function, jclass clazz, jmethodID id,
                           va_list args) {
    Object* c = f.deref(clazz, function, Kind::Class);
    const Method* m = registry::methodOf(id);
    if (faulted(f, f.enter(function, c != nullptr ? c->className : "?")) || c == nullptr) {
        return nullptr;
    }
    if (m == nullptr || m->name != "<init>" || m->className != c->className ||
        m->signature != "(Ljava/lang/String;Ljava/lang/Throwable;)V") {
        f.problem(std::string(function) + ": only the (String, Throwable) constructor is faked");
        return nullptr;
    }
    auto message = static_cast<jstring>(va_arg(args, jobject));
    jobject cause = va_arg(args, jobject);
    jthrowable t = f.heap().newThrowableWithoutMessage(c->className, cause);
    if (message != nullptr) {
        Object* s = f.deref(message, function, Kind::String);
        Object* o = f.heap().find(t);
        o->hasMessage = s != nullptr;
        o->message = s != nullptr ? s->utf : "";
    }
    if (cause != nullptr) {
        f.deref(cause, function, Kind::Throwable);
    }
    return t;
}

jobject JNICALL newObject(JNIEnv* env, jclass clazz, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jobject result = constructThrowable(self(env), "NewObject", clazz, id, args);
    va_end(args);
    return result;
}

// What C++ callers reach: JNIEnv::NewObject forwards its arguments here.
jobject JNICALL newObjectV(JNIEnv* env, jclass clazz, jmethodID id, va_list args) {
    va_list copy;
    va_copy(copy, args);
    jobject result = constructThrowable(self(env), "NewObject", clazz, id, copy);
    va_end(copy);
    return result;
}

jint JNICALL throwObject(JNIEnv* env, jthrowable obj) {
    FakeJniEnv& f = self(env);
    Object* t = f.deref(obj, "Throw", Kind::Throwable);
    Fault fault = f.enter("Throw", t != nullptr ? t->className : "?");
    if (fault.kind == FaultKind::Code) {
        return fault.code;
    }
    if (faulted(f, fault) || t == nullptr) {
        return -1;
    }
    f.raise(obj);
    return 0;
}

jint JNICALL throwNew(JNIEnv* env, jclass clazz, const char* msg) {
    FakeJniEnv& f = self(env);
    Object* c = f.deref(clazz, "ThrowNew", Kind::Class);
    Fault fault = f.enter("ThrowNew", (c != nullptr ? c->className : "?") + ": " + str(msg));
    if (fault.kind == FaultKind::Code) {
        return fault.code;
    }
    if (faulted(f, fault) || c == nullptr) {
        return -1;
    }
    f.raiseNew(c->className, str(msg));
    return 0;
}

// A scripted exception here arrives asynchronously, as from another thread's
// Thread.stop: it is found pending by this very check.
jboolean JNICALL exceptionCheck(JNIEnv* env) {
    FakeJniEnv& f = self(env);
    faulted(f, f.enter("ExceptionCheck", ""));
    return f.pending() != nullptr ? JNI_TRUE : JNI_FALSE;
}

jthrowable JNICALL exceptionOccurred(JNIEnv* env) {
    FakeJniEnv& f = self(env);
    f.enter("ExceptionOccurred", "");
    return f.pending();
}

void JNICALL exceptionClear(JNIEnv* env) {
    FakeJniEnv& f = self(env);
    f.enter("ExceptionClear", "");
    f.setPending(nullptr);
}

// A real VM never returns from here; the fake records the text and returns so
// that the test can read it.
void JNICALL fatalError(JNIEnv* env, const char* msg) {
    FakeJniEnv& f = self(env);
    f.enter("FatalError", str(msg));
    f.fatal(str(msg));
}

jstring JNICALL newStringUTF(JNIEnv* env, const char* utf) {
    FakeJniEnv& f = self(env);
    if (faulted(f, f.enter("NewStringUTF", str(utf)))) {
        return nullptr;
    }
    if (utf == nullptr) {
        f.problem("NewStringUTF: null characters");
        return nullptr;
    }
    return f.heap().newStringUtf(utf);
}

jsize JNICALL getStringUTFLength(JNIEnv* env, jstring s) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(s, "GetStringUTFLength", Kind::String);
    if (faulted(f, f.enter("GetStringUTFLength", "")) || o == nullptr) {
        return 0;
    }
    return static_cast<jsize>(o->utf.size());
}

const char* JNICALL getStringUTFChars(JNIEnv* env, jstring s, jboolean* isCopy) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(s, "GetStringUTFChars", Kind::String);
    if (faulted(f, f.enter("GetStringUTFChars", "")) || o == nullptr) {
        return nullptr;
    }
    if (isCopy != nullptr) {
        *isCopy = JNI_TRUE;
    }
    return static_cast<const char*>(f.lend(o, o->utf.data(), o->utf.size(), 1));
}

void JNICALL releaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(s, "ReleaseStringUTFChars", Kind::String);
    f.enter("ReleaseStringUTFChars", "");
    auto borrow = f.takeBack(chars, "ReleaseStringUTFChars");
    if (borrow && borrow->object != o) {
        f.problem("ReleaseStringUTFChars: characters belong to another string");
    }
}

jsize JNICALL getStringLength(JNIEnv* env, jstring s) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(s, "GetStringLength", Kind::String);
    if (faulted(f, f.enter("GetStringLength", "")) || o == nullptr) {
        return 0;
    }
    return static_cast<jsize>(o->chars.size());
}

const jchar* JNICALL getStringChars(JNIEnv* env, jstring s, jboolean* isCopy) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(s, "GetStringChars", Kind::String);
    if (faulted(f, f.enter("GetStringChars", "")) || o == nullptr) {
        return nullptr;
    }
    if (isCopy != nullptr) {
        *isCopy = JNI_TRUE;
    }
    return static_cast<const jchar*>(
        f.lend(o, o->chars.data(), o->chars.size() * sizeof(jchar), 0));
}

void JNICALL releaseStringChars(JNIEnv* env, jstring s, const jchar* chars) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(s, "ReleaseStringChars", Kind::String);
    f.enter("ReleaseStringChars", "");
    auto borrow = f.takeBack(chars, "ReleaseStringChars");
    if (borrow && borrow->object != o) {
        f.problem("ReleaseStringChars: characters belong to another string");
    }
}

jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
    FakeJniEnv& f = self(env);
    Object* o = f.heap().find(array);
    if (o == nullptr) {
        f.problem(array == nullptr ? "GetArrayLength: null array"
                                   : "GetArrayLength: not a live reference");
    }
    if (faulted(f, f.enter("GetArrayLength", "")) || o == nullptr) {
        return 0;
    }
    switch (o->kind) {
        case Kind::ByteArray:
            return static_cast<jsize>(o->bytes.size());
        case Kind::IntArray:
            return static_cast<jsize>(o->ints.size());
        case Kind::ObjectArray:
            return static_cast<jsize>(o->elements.size());
        default:
            f.problem("GetArrayLength: not an array");
            return 0;
    }
}

jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize len, jclass clazz, jobject init) {
    FakeJniEnv& f = self(env);
    Object* c = f.deref(clazz, "NewObjectArray", Kind::Class);
    std::string name = c != nullptr ? c->className : "?";
    if (faulted(f, f.enter("NewObjectArray", "len=" + std::to_string(len) + " class=" + name)) ||
        c == nullptr) {
        return nullptr;
    }
    if (len < 0) {
        f.raiseNew("java/lang/NegativeArraySizeException", std::to_string(len));
        return nullptr;
    }
    return f.heap().newObjectArray(name, std::vector<jobject>(static_cast<size_t>(len), init));
}

jobject JNICALL getObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(array, "GetObjectArrayElement", Kind::ObjectArray);
    if (faulted(f, f.enter("GetObjectArrayElement", "index=" + std::to_string(index))) ||
        o == nullptr) {
        return nullptr;
    }
    if (index < 0 || static_cast<size_t>(index) >= o->elements.size()) {
        raiseIndexOutOfBounds(f, index, o->elements.size());
        return nullptr;
    }
    return o->elements[static_cast<size_t>(index)];
}

void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(array, "SetObjectArrayElement", Kind::ObjectArray);
    if (faulted(f, f.enter("SetObjectArrayElement", "index=" + std::to_string(index))) ||
        o == nullptr) {
        return;
    }
    if (index < 0 || static_cast<size_t>(index) >= o->elements.size()) {
        raiseIndexOutOfBounds(f, index, o->elements.size());
        return;
    }
    Object* v = f.heap().find(value);
    if (value != nullptr && v == nullptr) {
        f.problem("SetObjectArrayElement: value is not a live reference");
        return;
    }
    if (v != nullptr && o->elementClass != "java/lang/Object" && v->className != o->elementClass) {
        f.raiseNew("java/lang/ArrayStoreException", v->className);
        return;
    }
    o->elements[static_cast<size_t>(index)] = value;
}

jbyteArray JNICALL newByteArray(JNIEnv* env, jsize len) {
    FakeJniEnv& f = self(env);
    if (faulted(f, f.enter("NewByteArray", "len=" + std::to_string(len)))) {
        return nullptr;
    }
    if (len < 0) {
        f.raiseNew("java/lang/NegativeArraySizeException", std::to_string(len));
        return nullptr;
    }
    return f.heap().newByteArray(std::vector<jbyte>(static_cast<size_t>(len)));
}

jintArray JNICALL newIntArray(JNIEnv* env, jsize len) {
    FakeJniEnv& f = self(env);
    if (faulted(f, f.enter("NewIntArray", "len=" + std::to_string(len)))) {
        return nullptr;
    }
    if (len < 0) {
        f.raiseNew("java/lang/NegativeArraySizeException", std::to_string(len));
        return nullptr;
    }
    return f.heap().newIntArray(std::vector<jint>(static_cast<size_t>(len)));
}

template <typename T>
std::vector<T>& storeOf(Object* o);
template <>
std::vector<jbyte>& storeOf<jbyte>(Object* o) {
    return o->bytes;
}
template <>
std::vector<jint>& storeOf<jint>(Object* o) {
    return o->ints;
}

template <typename T>
T* getElements(JNIEnv* env, jobject array, jboolean* isCopy, const char* name, Kind kind) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(array, name, kind);
    if (faulted(f, f.enter(name, "")) || o == nullptr) {
        return nullptr;
    }
    if (isCopy != nullptr) {
        *isCopy = JNI_TRUE;
    }
    std::vector<T>& store = storeOf<T>(o);
    return static_cast<T*>(f.lend(o, store.data(), store.size() * sizeof(T), 0));
}

template <typename T>
void releaseElements(JNIEnv* env, jobject array, T* elements, jint mode, const char* name,
                     Kind kind) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(array, name, kind);
    Fault fault = f.enter(name, "mode=" + std::to_string(mode));
    std::unique_ptr<Borrow> borrow = f.takeBack(elements, name);
    if (borrow && borrow->object != o) {
        f.problem(std::string(name) + ": elements belong to another array");
    } else if (borrow && mode != JNI_ABORT && borrow->bytes != 0) {
        std::memcpy(storeOf<T>(o).data(), borrow->storage.get(), borrow->bytes);
    }
    if (mode == JNI_COMMIT && borrow) {
        f.problem(std::string(name) + ": JNI_COMMIT is not faked");
    }
    faulted(f, fault);
}

template <typename T>
void setRegion(JNIEnv* env, jobject array, jsize start, jsize len, const T* buf, const char* name,
               Kind kind) {
    FakeJniEnv& f = self(env);
    Object* o = f.deref(array, name, kind);
    if (faulted(f,
                f.enter(name, "start=" + std::to_string(start) + " len=" + std::to_string(len))) ||
        o == nullptr) {
        return;
    }
    std::vector<T>& store = storeOf<T>(o);
    if (outOfBounds(start, len, store.size())) {
        raiseRegionOutOfBounds(f, start, len, store.size());
        return;
    }
    if (len > 0) {
        std::memcpy(store.data() + start, buf, static_cast<size_t>(len) * sizeof(T));
    }
}

jbyte* JNICALL getByteArrayElements(JNIEnv* env, jbyteArray array, jboolean* isCopy) {
    return getElements<jbyte>(env, array, isCopy, "GetByteArrayElements", Kind::ByteArray);
}

jint* JNICALL getIntArrayElements(JNIEnv* env, jintArray array, jboolean* isCopy) {
    return getElements<jint>(env, array, isCopy, "GetIntArrayElements", Kind::IntArray);
}

void JNICALL releaseByteArrayElements(JNIEnv* env, jbyteArray array, jbyte* elems, jint mode) {
    releaseElements(env, array, elems, mode, "ReleaseByteArrayElements", Kind::ByteArray);
}

void JNICALL releaseIntArrayElements(JNIEnv* env, jintArray array, jint* elems, jint mode) {
    releaseElements(env, array, elems, mode, "ReleaseIntArrayElements", Kind::IntArray);
}

void JNICALL setByteArrayRegion(JNIEnv* env, jbyteArray array, jsize start, jsize len,
                                const jbyte* buf) {
    setRegion(env, array, start, len, buf, "SetByteArrayRegion", Kind::ByteArray);
}

void JNICALL setIntArrayRegion(JNIEnv* env, jintArray array, jsize start, jsize len,
                               const jint* buf) {
    setRegion(env, array, start, len, buf, "SetIntArrayRegion", Kind::IntArray);
}

// Every slot the fake does not implement: the call is recorded as misuse and
// answered with zero/null.
template <size_t Slot>
void* JNICALL unexpected(JNIEnv* env) {
    FakeJniEnv& f = self(env);
    std::string name = "slot " + std::to_string(Slot);
    f.enter(name.c_str(), "");
    f.problem("unexpected JNI call: function table " + name);
    return nullptr;
}

constexpr size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void*);
static_assert(sizeof(JNINativeInterface_) == kSlots * sizeof(void*), "table of pointers");

template <size_t... Slot>
void fillUnexpected(void** slots, std::index_sequence<Slot...>) {
    ((slots[Slot] = reinterpret_cast<void*>(&unexpected<Slot>)), ...);
}

}  // namespace

void fillFunctionTable(JNINativeInterface_& table) {
    void* slots[kSlots];
    fillUnexpected(slots, std::make_index_sequence<kSlots>());
    std::memcpy(&table, slots, sizeof table);

    table.FindClass = &findClass;
    table.GetMethodID = &getMethodID;
    table.NewGlobalRef = &newGlobalRef;
    table.NewObject = &newObject;
    table.NewObjectV = &newObjectV;
    table.Throw = &throwObject;
    table.ThrowNew = &throwNew;
    table.ExceptionCheck = &exceptionCheck;
    table.ExceptionOccurred = &exceptionOccurred;
    table.ExceptionClear = &exceptionClear;
    table.FatalError = &fatalError;
    table.NewStringUTF = &newStringUTF;
    table.GetStringUTFLength = &getStringUTFLength;
    table.GetStringUTFChars = &getStringUTFChars;
    table.ReleaseStringUTFChars = &releaseStringUTFChars;
    table.GetStringLength = &getStringLength;
    table.GetStringChars = &getStringChars;
    table.ReleaseStringChars = &releaseStringChars;
    table.GetArrayLength = &getArrayLength;
    table.NewObjectArray = &newObjectArray;
    table.GetObjectArrayElement = &getObjectArrayElement;
    table.SetObjectArrayElement = &setObjectArrayElement;
    table.NewByteArray = &newByteArray;
    table.NewIntArray = &newIntArray;
    table.GetByteArrayElements = &getByteArrayElements;
    table.GetIntArrayElements = &getIntArrayElements;
    table.ReleaseByteArrayElements = &releaseByteArrayElements;
    table.ReleaseIntArrayElements = &releaseIntArrayElements;
    table.SetByteArrayRegion = &setByteArrayRegion;
    table.SetIntArrayRegion = &setIntArrayRegion;
}

}  // namespace fakejni
