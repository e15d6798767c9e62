// What a native method may leave behind in the fake VM, checked after every
// call. A violation prints what was seen and aborts, so that libFuzzer keeps
// the input as a crash.
#pragma once

#include <string>

#include "fake_jni_env.h"

namespace velkfuzz {

[[noreturn]] void violation(const std::string& what);

// A bridge method returned; failed says whether it returned its failure value
// (-1, null; always true for void methods), mayBeAnswer whether that value is
// also a normal answer here (void methods; a null array that means "none"; a
// handle the stand-in gave as -1). Allowed: a normal result with nothing
// pending, the failure value with exactly one VelkCardException or
// VelkCardFatalException pending, or the failure value after one FatalError
// whose text tells both failures.
void checkBridgeOutcome(fakejni::FakeJniEnv& vm, const char* method, bool failed, bool mayBeAnswer);

// The VM saw no misuse and got back everything it lent.
void checkCleanVm(fakejni::FakeJniEnv& vm, const char* method);

}  // namespace velkfuzz
