// Shared fixture of the bridge suites: a fresh fake VM and PC/SC stand-in per
// test, the bridge's lookup caches already filled (so that call records show
// only what the method under test did), and checks of the Java exception that
// a native method left pending.
#pragma once

#include <gtest/gtest.h>
#include <jni.h>

#include <string>
#include <vector>

#include "bridge_exports.h"
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

// Failure of a PC/SC step with the given code.
template <typename Step>
Step failing(LONG rv) {
    Step step;
    step.rv = rv;
    return step;
}

}  // namespace velktest
