// The shape every native method of VelkSCard shares: its whole body runs in
// one try block, and the three handlers turn whatever it threw into exactly
// one pending Java exception before the method returns its failure value.
#pragma once

#include <jni.h>

#include "errors/velk_card_exception.h"
#include "errors/velk_card_fatal_exception.h"

namespace velk {

// Raise e in Java. Should that fail in a way the exception cannot report
// itself, the failure is reported as unexpected at catchAllLine.
void raiseInJava(VelkCardException& e, JNIEnv* env, int catchAllLine) noexcept;
void raiseInJava(VelkCardFatalException& e, JNIEnv* env, int catchAllLine) noexcept;
// "got unexpected exception" at catchAllLine, with no cause.
void raiseUnexpected(JNIEnv* env, int catchAllLine) noexcept;

template <typename Result, typename Body>
Result bridgeCall(JNIEnv* env, int catchAllLine, Result failureValue, Body&& body) noexcept {
    try {
        return body();
    } catch (VelkCardException& e) {
        raiseInJava(e, env, catchAllLine);
    } catch (VelkCardFatalException& e) {
        raiseInJava(e, env, catchAllLine);
    } catch (...) {
        raiseUnexpected(env, catchAllLine);
    }
    return failureValue;
}

// For native methods without a result.
template <typename Body>
void bridgeCall(JNIEnv* env, int catchAllLine, Body&& body) noexcept {
    bridgeCall(env, catchAllLine, false, [&body] {
        body();
        return true;
    });
}

}  // namespace velk
