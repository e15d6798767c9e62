// Shared fixture of the bridge suites: a fresh fake VM and PC/SC stand-in per
// test, the bridge's lookup caches already filled (so that call records show
// only what the method under test did), and checks of the Java exception that
// a native method left pending.
#pragma once

#include <gtest/gtest.h>
#include <jni.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"
#include "com_vormel_kx_platform_velksmartcard_VelkSCardControl.h"
#include "fake_jni_env.h"
#include "fake_pcsc.h"

namespace velktest {

extern const char* const kFatalClass;
extern const char* const kCardClass;

// Fills the bridge's class and method caches through a throwaway fake VM.
void warmCaches();

// vm holds a pending VelkCardFatalException with "message (line=N)" and
// exactly this cause; the VM was not aborted and saw no misuse.
void expectFatalOn(fakejni::FakeJniEnv& vm, const std::string& message, int line, jthrowable cause);

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    JNIEnv* env() { return vm.env(); }
    fakepcsc::FakePcsc& pcsc() { return fakepcsc::fake(); }

    // A throwable as a failing JNI call would leave it pending.
    jthrowable javaError(const std::string& className = "java/lang/OutOfMemoryError");

    // The pending Java exception is VelkCardFatalException with
    // "message (line=N)" and exactly this cause; nothing else happened to the VM.
    void expectFatal(const std::string& message, int line, jthrowable cause = nullptr);
    // The pending Java exception is VelkCardException with exactly this message.
    void expectCardException(const std::string& message);
    void expectNoException();

    fakejni::FakeJniEnv vm;
};

// A failure site behind one JNI call: the call-th call of the function (0:
// each call) leaves an OutOfMemoryError pending, or, when refusal is set,
// returns null with nothing pending and the bridge reports that refusal.
struct FaultSite {
    const char* function;
    int line;
    const char* refusal = nullptr;
    int call = 0;
};

inline FaultSite pendingAt(const char* function, int line, int call = 0) {
    return {function, line, nullptr, call};
}
inline FaultSite nullAt(const char* function, const char* refusal, int line, int call = 0) {
    return {function, line, refusal, call};
}

// Scripts the site's fault into vm; returns the throwable left pending, if any.
jthrowable scriptFault(fakejni::FakeJniEnv& vm, const FaultSite& site);

// For each site: a fresh fake VM with the fault scripted, body(vm, site) makes
// the native call on it, then the fatal report must name the site, carry the
// pending throwable as its cause, and leave nothing borrowed.
template <typename Body>
void forEachFaultSite(std::initializer_list<FaultSite> sites, Body body) {
    for (const FaultSite& site : sites) {
        SCOPED_TRACE(site.line);
        fakejni::FakeJniEnv fresh;
        jthrowable cause = scriptFault(fresh, site);
        body(fresh, site);
        expectFatalOn(fresh, site.refusal ? site.refusal : "JNI exception occurred", site.line,
                      cause);
        EXPECT_EQ(fresh.outstandingBorrows(), 0u);
    }
}

// Failure of a PC/SC step with the given code.
template <typename Step>
Step failing(LONG rv) {
    Step step;
    step.rv = rv;
    return step;
}

// A PC/SC step that throws std::bad_alloc: a failure the bridge did not foresee.
template <typename Step>
Step throwing() {
    Step step;
    step.throwBadAlloc = true;
    return step;
}

}  // namespace velktest
