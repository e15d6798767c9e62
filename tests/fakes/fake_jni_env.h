// A JNIEnv for tests: a real JNI function table over a small fake heap, whose
// calls a test can make fail and which records every call in order. Misuse
// that a checking VM would catch (an unimplemented function, a dangling
// reference, a call with an exception pending, elements never released) is
// collected in problems() for the test to assert empty.
#pragma once

#include <jni.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake_jni_heap.h"
#include "fake_jni_script.h"

namespace fakejni {

struct JniCall {
    std::string function;
    std::string detail;  // the call's key arguments, e.g. a class name or "start=0 len=1"
};

// Elements or characters handed out and not yet released.
struct Borrow {
    Object* object;
    std::unique_ptr<char[]> storage;
    size_t bytes;
};

class FakeJniEnv {
  public:
    FakeJniEnv();
    ~FakeJniEnv();
    FakeJniEnv(const FakeJniEnv&) = delete;
    FakeJniEnv& operator=(const FakeJniEnv&) = delete;

    JNIEnv* env() { return &holder.env; }
    Heap& heap() { return objects; }
    static FakeJniEnv& of(JNIEnv* env);

    // Scripting; call is 1-based among that function's calls, 0 = every call.
    void pendOn(const std::string& function, jthrowable exception, int call = 0);
    void nullOn(const std::string& function, int call = 0);
    void codeOn(const std::string& function, jint code, int call = 0);

    const std::vector<JniCall>& calls() const { return record; }
    std::vector<std::string> callNames() const;
    int count(const std::string& function) const;
    void clearCalls() { record.clear(); }

    jthrowable pending() const { return pendingException; }
    // Puts an exception in place as if an earlier call had raised it.
    void setPending(jthrowable exception) { pendingException = exception; }
    const std::vector<std::string>& fatalErrors() const { return fatalTexts; }
    const std::vector<std::string>& problems() const { return misuse; }
    std::vector<jobject> globalRefs() const { return globals; }
    size_t outstandingBorrows() const { return borrows.size(); }

    // Convenience views of heap objects; a bad reference is a problem and
    // yields an empty value.
    std::string classNameOf(jobject object);
    std::u16string stringChars(jstring s);
    std::vector<jbyte> bytesOf(jbyteArray array);
    std::vector<jint> intsOf(jintArray array);
    std::vector<jobject> elementsOf(jobjectArray array);

    // Used by the function table.
    Fault enter(const char* function, std::string detail);
    Object* deref(jobject ref, const char* function, Kind kind);
    void problem(std::string text) { misuse.push_back(std::move(text)); }
    void raise(jthrowable exception) { pendingException = exception; }
    jthrowable raiseNew(const std::string& className, const std::string& message);
    void fatal(std::string text) { fatalTexts.push_back(std::move(text)); }
    void addGlobal(jobject ref) { globals.push_back(ref); }
    void* lend(Object* object, const void* data, size_t bytes, size_t terminatorBytes);
    // The borrow behind pointer, removed from the books; null if unknown.
    std::unique_ptr<Borrow> takeBack(const void* pointer, const char* function);

  private:
    // Standard layout, so that the JNIEnv* the bridge sees leads back here.
    struct Holder {
        JNIEnv env;
        FakeJniEnv* owner;
    };

    Holder holder;
    JNINativeInterface_ table;
    Heap objects;
    Script script;
    std::vector<JniCall> record;
    jthrowable pendingException = nullptr;
    std::vector<std::string> fatalTexts;
    std::vector<std::string> misuse;
    std::vector<jobject> globals;
    std::map<const void*, std::unique_ptr<Borrow>> borrows;
};

// Fills table: every slot records an unexpected call, then the implemented
// functions take their slots.
void fillFunctionTable(JNINativeInterface_& table);

}  // namespace fakejni
