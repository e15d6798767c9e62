#include "outcome.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

namespace velkfuzz {

namespace {

const std::string kFatalClass = "com/vormel/kx/platform/velksmartcard/VelkCardFatalException";
const std::string kCardClass = "com/vormel/kx/platform/velksmartcard/VelkCardException";

// The two abort texts of a failed raise: the fatal class names both sites,
// the ordinary one only the second.
const std::regex kAbortWhileFatal(
    R"(trying to throw VelkCardFatalException \(message=\[.*\]\.line=[0-9]+\) and got another )"
    R"(one \(message=\[.*\]\.line=[0-9]+\) \(line=920\))");
const std::regex kAbortWhileCard(
    R"(trying to throw VelkCardException \(message=\[.*\]\) and got VelkCardFatalException )"
    R"(\(message=\[.*\]\.line=[0-9]+\) \(line=942\))");
const std::regex kFatalMessage(R"(.+ \(line=[0-9]+\))");
const std::string kJniPending = "JNI exception occurred (line=";

void expect(bool condition, const char* method, const std::string& what) {
    if (!condition) {
        violation(std::string(method) + ": " + what);
    }
}

void checkPending(fakejni::FakeJniEnv& vm, const char* method) {
    fakejni::Object* t = vm.heap().find(vm.pending());
    expect(t != nullptr && t->kind == fakejni::Kind::Throwable, method,
           "pending exception is no live throwable");
    if (t->className == kCardClass) {
        expect(t->message.rfind("SCard", 0) == 0, method,
               "VelkCardException message [" + t->message + "]");
        expect(t->cause == nullptr, method, "VelkCardException with a cause");
        return;
    }
    expect(t->className == kFatalClass, method, "pending " + t->className + ": " + t->message);
    expect(t->hasMessage && std::regex_match(t->message, kFatalMessage), method,
           "VelkCardFatalException message [" + t->message + "]");
    // A cause exactly when a pending Java exception was the failure.
    bool jniPending = t->message.rfind(kJniPending, 0) == 0;
    expect(jniPending == (t->cause != nullptr), method,
           "cause does not fit message [" + t->message + "]");
    if (t->cause != nullptr) {
        fakejni::Object* cause = vm.heap().find(t->cause);
        expect(cause != nullptr && cause->kind == fakejni::Kind::Throwable, method,
               "cause is no live throwable");
        expect(cause->className != kFatalClass && cause->className != kCardClass, method,
               "cause is the bridge's own exception");
    }
}

}  // namespace

void violation(const std::string& what) {
    std::fprintf(stderr, "velk_fuzz: contract violated: %s\n", what.c_str());
    std::abort();
}

void checkCleanVm(fakejni::FakeJniEnv& vm, const char* method) {
    for (const std::string& p : vm.problems()) {
        violation(std::string(method) + ": JNI misuse: " + p);
    }
    expect(vm.outstandingBorrows() == 0, method, "elements or characters never released");
}

void checkBridgeOutcome(fakejni::FakeJniEnv& vm, const char* method, bool failed,
                        bool mayBeAnswer) {
    checkCleanVm(vm, method);
    const std::vector<std::string>& fatal = vm.fatalErrors();
    if (!fatal.empty()) {
        expect(fatal.size() == 1, method, "FatalError more than once");
        expect(std::regex_match(fatal[0], kAbortWhileFatal) ||
                   std::regex_match(fatal[0], kAbortWhileCard),
               method, "abort text [" + fatal[0] + "]");
        expect(failed, method, "result other than the failure value after FatalError");
        return;
    }
    if (vm.pending() != nullptr) {
        expect(failed, method, "exception pending with a result other than the failure value");
        checkPending(vm, method);
        return;
    }
    expect(!failed || mayBeAnswer, method, "failure value without an exception pending");
}

}  // namespace velkfuzz
