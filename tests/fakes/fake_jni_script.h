// What a test scripts into the fake VM: which call of which JNI function
// fails, and how.
#pragma once

#include <jni.h>

#include <map>
#include <string>
#include <vector>

namespace fakejni {

enum class FaultKind {
    None,
    Exception,  // leave the given throwable pending; return null or 0
    Null,       // return null (or 0), nothing pending
    Code,       // Throw/ThrowNew: return the given code, throw nothing
};

struct Fault {
    FaultKind kind = FaultKind::None;
    jthrowable exception = nullptr;
    jint code = 0;
};

class Script {
  public:
    // call is 1-based among the calls of that function; 0 means every call.
    // Throws std::invalid_argument for a function the fake does not implement.
    void add(const std::string& function, int call, Fault fault);

    // Counts the call and answers what it must do.
    Fault next(const std::string& function);

    int callsOf(const std::string& function) const;

  private:
    struct Entry {
        int call;
        Fault fault;
    };
    std::map<std::string, std::vector<Entry>> entries;
    std::map<std::string, int> counts;
};

// The JNI functions the fake implements, by their table names.
bool isImplemented(const std::string& function);

}  // namespace fakejni
