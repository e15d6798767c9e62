// SafeBuffer's byte layouts of UTF-16 string lists, and its copies.
#include "jni/safe_buffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "bridge_test.h"

namespace velktest {
namespace {

class SafeBufferTest : public BridgeTest {};

std::vector<char> bytesOf(velk::SafeBuffer& b) {
    return std::vector<char>(b.get(), b.get() + b.getSize());
}

TEST_F(SafeBufferTest, BuildsAListOfNulTerminatedUtf16Strings) {
    velk::SafeBuffer b;
    b.setWideChar(vm.heap().newString(u"ab"), env());
    EXPECT_EQ(bytesOf(b), (std::vector<char>{'a', 0, 'b', 0, 0, 0}));
    b.appendWideChar(vm.heap().newString(u"c"), env());
    EXPECT_EQ(bytesOf(b), (std::vector<char>{'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0}));
    b.appendNullWideChar();
    EXPECT_EQ(bytesOf(b), (std::vector<char>{'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0, 0, 0}));
}

TEST_F(SafeBufferTest, AppendToEmptyIsSetAndNullOnEmptyIsTwoZeros) {
    velk::SafeBuffer b;
    b.appendWideChar(vm.heap().newString(u"\u00e9"), env());
    EXPECT_EQ(bytesOf(b), (std::vector<char>{'\xe9', 0, 0, 0}));
    velk::SafeBuffer n;
    n.appendNullWideChar();
    EXPECT_EQ(bytesOf(n), (std::vector<char>{0, 0}));
}

TEST_F(SafeBufferTest, SetSizeClearsTheContents) {
    velk::SafeBuffer b;
    b.setWideChar(vm.heap().newString(u"xyz"), env());
    b.setSize(5);
    EXPECT_EQ(bytesOf(b), std::vector<char>(5, 0));
    velk::SafeBuffer sized(3);
    EXPECT_EQ(bytesOf(sized), std::vector<char>(3, 0));
}

TEST_F(SafeBufferTest, CopiesAreDeep) {
    velk::SafeBuffer a;
    a.setWideChar(vm.heap().newString(u"q"), env());
    velk::SafeBuffer copy(a);
    velk::SafeBuffer assigned;
    assigned = a;
    a.get()[0] = 'z';
    EXPECT_EQ(bytesOf(copy), (std::vector<char>{'q', 0, 0, 0}));
    EXPECT_EQ(bytesOf(assigned), (std::vector<char>{'q', 0, 0, 0}));
    EXPECT_NE(copy.get(), a.get());

    velk::SafeBuffer& alias = assigned;
    assigned = alias;
    EXPECT_EQ(bytesOf(assigned), (std::vector<char>{'q', 0, 0, 0}));
}

TEST_F(SafeBufferTest, AssigningAnEmptyBufferEmptiesTheTarget) {
    velk::SafeBuffer filled;
    filled.setWideChar(vm.heap().newString(u"q"), env());
    velk::SafeBuffer empty;
    filled = empty;
    EXPECT_EQ(filled.get(), nullptr);
    EXPECT_EQ(filled.getSize(), 0);
    velk::SafeBuffer copyOfEmpty(empty);
    EXPECT_EQ(copyOfEmpty.get(), nullptr);
}

// A string long enough that its size no longer fits the buffer's count is a
// failed allocation; nothing is written through a block that was never had.
TEST_F(SafeBufferTest, ASizeThatWouldOverflowIsAFailedAllocation) {
    static jsize units = 0;
    JNINativeInterface_ table = *env()->functions;
    table.GetStringLength = [](JNIEnv*, jstring) -> jsize { return units; };
    JNIEnv_ huge{&table};
    jstring s = vm.heap().newString(u"x");

    velk::SafeBuffer b;
    units = 0x3FFFFFFF;  // 2n + 2 is 2^31
    EXPECT_THROW(b.setWideChar(s, &huge), std::bad_alloc);
    EXPECT_EQ(b.get(), nullptr);

    b.setWideChar(vm.heap().newString(u"ab"), env());
    units = 0x3FFFFFFC;  // 2n + 2 fits; with the 6 bytes held it does not
    EXPECT_THROW(b.appendWideChar(s, &huge), std::bad_alloc);
    EXPECT_EQ(bytesOf(b), (std::vector<char>{'a', 0, 'b', 0, 0, 0}));
}

}  // namespace
}  // namespace velktest
