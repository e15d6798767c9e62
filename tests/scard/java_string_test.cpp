// JavaString keeps the VM's modified UTF-8 bytes and owns exactly one copy.
#include "jni/java_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bridge_test.h"

namespace velktest {
namespace {

class JavaStringTest : public BridgeTest {};

TEST_F(JavaStringTest, NullStringHoldsNothingAndCallsNothing) {
    velk::JavaString s(env(), nullptr);
    EXPECT_EQ(s.c_str(), nullptr);
    EXPECT_TRUE(vm.calls().empty());
}

TEST_F(JavaStringTest, EmptyStringIsJustTheTerminator) {
    velk::JavaString s(env(), vm.heap().newString(u""));
    ASSERT_NE(s.c_str(), nullptr);
    EXPECT_EQ(s.c_str()[0], '\0');
}

TEST_F(JavaStringTest, KeepsModifiedUtf8OfNulAndSupplementaryCharacters) {
    velk::JavaString s(env(), vm.heap().newString(std::u16string(u"a\0\U0001F600", 4)));
    EXPECT_STREQ(s.c_str(), "a\xC0\x80\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(vm.callNames(), (std::vector<std::string>{"GetStringUTFLength", "GetStringUTFChars",
                                                        "ReleaseStringUTFChars"}));
}

TEST_F(JavaStringTest, SecondSetReplacesTheFirst) {
    velk::JavaString s(env(), vm.heap().newString(u"first reader"));
    s.set(env(), vm.heap().newString(u"2nd"));
    EXPECT_STREQ(s.c_str(), "2nd");
    s.set(env(), nullptr);
    EXPECT_EQ(s.c_str(), nullptr);
    // ASan reports the first copy if the second set leaked it.
}

TEST_F(JavaStringTest, CharactersRefusedWithExceptionPendingLeaveItToTheCaller) {
    jthrowable oom = javaError();
    vm.pendOn("GetStringUTFChars", oom);
    velk::JavaString s(env(), vm.heap().newString(u"x"));
    EXPECT_EQ(s.c_str(), nullptr);
    EXPECT_EQ(vm.pending(), oom);
    vm.setPending(nullptr);
}

}  // namespace
}  // namespace velktest
