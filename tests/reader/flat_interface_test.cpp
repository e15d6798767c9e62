// The exported functions' own rules, beyond what they forward to the reader.
#include <gtest/gtest.h>

#include "fake_hidapi.h"
#include "velkreader.h"

TEST(FlatInterface, NullHandleGivesZeroAndFalse) {
    unsigned char out[3] = {};
    EXPECT_EQ(VelkReaderReceiveW26T(nullptr, out, 3, 0), 0);
    EXPECT_FALSE(VelkReaderReceiveW26(nullptr, out, 3));
}

TEST(FlatInterface, CloseNullsTheVariableAndIgnoresNull) {
    ASSERT_TRUE(fakeHidSetScript(""));
    VelkReaderHandle handle = nullptr;
    VelkReaderClose(&handle);
    VelkReaderClose(nullptr);
    EXPECT_EQ(fakeHidRecord().closes, 0);
    ASSERT_EQ(VelkReaderOpen(&handle), 1);
    ASSERT_NE(handle, nullptr);
    VelkReaderClose(&handle);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(fakeHidRecord().closes, 1);
    EXPECT_EQ(fakeHidRecord().liveDevices, 0);
}

TEST(FlatInterface, FailedOpenLeavesTheVariableAlone) {
    ASSERT_TRUE(fakeHidSetScript("absent"));
    int marker = 0;
    auto handle = reinterpret_cast<VelkReaderHandle>(&marker);
    EXPECT_EQ(VelkReaderOpen(&handle), 0);
    EXPECT_EQ(handle, reinterpret_cast<VelkReaderHandle>(&marker));
}

TEST(FlatInterface, OpenWithoutVariableOpensNothing) {
    ASSERT_TRUE(fakeHidSetScript(""));
    EXPECT_EQ(VelkReaderOpen(nullptr), 0);
    EXPECT_EQ(fakeHidRecord().opens, 0);
}
