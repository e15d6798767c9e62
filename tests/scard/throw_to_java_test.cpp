// Raising the two exception classes in Java, and the abort texts when raising
// fails in turn. The lookups are cached here; their first-use failures are in
// first_lookup_test.cpp.
#include <gtest/gtest.h>

#include "bridge_test.h"
#include "errors/velk_card_exception.h"
#include "errors/velk_card_fatal_exception.h"

namespace velktest {
namespace {

class ThrowToJava : public BridgeTest {
  protected:
    velk::VelkCardFatalException fatal(jthrowable cause = nullptr) {
        return velk::VelkCardFatalException(env(), "123", "it broke", cause);
    }
    std::string fatalAbort(const std::string& second, int secondLine) {
        return "trying to throw VelkCardFatalException (message=[it broke].line=123) and got "
               "another one (message=[" +
               second + "].line=" + std::to_string(secondLine) + ") (line=920)";
    }
    void expectOnlyAbort(const std::string& text) {
        EXPECT_EQ(vm.pending(), nullptr);
        ASSERT_EQ(vm.fatalErrors().size(), 1u);
        EXPECT_EQ(vm.fatalErrors()[0], text);
    }
};

TEST_F(ThrowToJava, FatalCarriesMessageLineAndCause) {
    jthrowable cause = javaError("java/lang/NoClassDefFoundError");
    velk::VelkCardFatalException e = fatal(cause);
    EXPECT_STREQ(e.what(), "it broke");
    e.throwToJava();
    expectFatal("it broke", 123, cause);
    EXPECT_EQ(vm.callNames(), (std::vector<std::string>{"NewStringUTF", "ExceptionCheck",
                                                        "NewObject", "ExceptionCheck", "Throw"}));
}

TEST_F(ThrowToJava, FatalWithoutCausePassesNull) {
    fatal().throwToJava();
    expectFatal("it broke", 123, nullptr);
}

TEST_F(ThrowToJava, CardExceptionIsThrownNewWithItsMessage) {
    velk::VelkCardException e(env(), "SCardX failed with code Y");
    EXPECT_STREQ(e.what(), "SCardX failed with code Y");
    e.throwToJava();
    expectCardException("SCardX failed with code Y");
    EXPECT_EQ(vm.callNames(), (std::vector<std::string>{"ThrowNew"}));
}

TEST_F(ThrowToJava, FatalAbortsWhenTheMessageStringFails) {
    vm.pendOn("NewStringUTF", javaError());
    fatal().throwToJava();
    expectOnlyAbort(fatalAbort("JNI exception occurred", 899));
}

TEST_F(ThrowToJava, FatalAbortsWhenTheMessageStringIsNull) {
    vm.nullOn("NewStringUTF");
    fatal().throwToJava();
    expectOnlyAbort(fatalAbort("s=NULL", 902));
}

TEST_F(ThrowToJava, FatalAbortsWhenTheObjectFails) {
    vm.pendOn("NewObject", javaError());
    fatal().throwToJava();
    expectOnlyAbort(fatalAbort("JNI exception occurred", 906));
}

TEST_F(ThrowToJava, FatalAbortsWhenTheObjectIsNull) {
    vm.nullOn("NewObject");
    fatal().throwToJava();
    expectOnlyAbort(fatalAbort("exception=NULL", 909));
}

TEST_F(ThrowToJava, FatalAbortsWhenThrowReturnsNonZero) {
    vm.codeOn("Throw", -3);
    fatal().throwToJava();
    expectOnlyAbort(fatalAbort("r=-3", 915));
}

TEST_F(ThrowToJava, CardExceptionAbortsWhenThrowNewReturnsNonZero) {
    vm.codeOn("ThrowNew", 7);
    velk::VelkCardException(env(), "M").throwToJava();
    expectOnlyAbort(
        "trying to throw VelkCardException (message=[M]) and got VelkCardFatalException "
        "(message=[r=7].line=937) (line=942)");
}

}  // namespace
}  // namespace velktest
