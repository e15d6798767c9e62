// The reader handle's trip through a Java long.
#include "jni/reader_handle.h"

#include <gtest/gtest.h>

#include <cstdint>

using velk::readerHandleFromJava;
using velk::readerHandleToJava;

TEST(ReaderHandle, NullIsZero) {
    EXPECT_EQ(readerHandleToJava(nullptr), 0);
    EXPECT_EQ(readerHandleFromJava(0), nullptr);
}

TEST(ReaderHandle, HighAddressRoundTrips) {
    // An address with the top bit set, the case sign extension is about.
    std::uintptr_t address = ~std::uintptr_t{0} - 0xFFF;
    auto reader = reinterpret_cast<VelkReaderHandle>(address);
    jlong java = readerHandleToJava(reader);
    EXPECT_LT(java, 0);
    EXPECT_EQ(readerHandleFromJava(java), reader);
}

#if UINTPTR_MAX == 0xFFFFFFFFu
TEST(ReaderHandle, ThirtyTwoBitHandleIsSignExtendedAndReadThroughItsLowBits) {
    auto reader = reinterpret_cast<VelkReaderHandle>(std::uintptr_t{0x8765'4320});
    EXPECT_EQ(readerHandleToJava(reader), jlong{-0x789A'BCE0});
    EXPECT_EQ(readerHandleFromJava(jlong{0x1'8765'4320}), reader);
    EXPECT_EQ(readerHandleFromJava(jlong{0x0000'0000'8765'4320}), reader);
}
#endif
