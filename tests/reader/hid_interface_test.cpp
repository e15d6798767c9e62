// HidInterface against the scripted hidapi stand-in.
#include "device/hid_interface.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "fake_hidapi.h"

using velk::HidInterface;

namespace {

constexpr unsigned char kUntouched = 0xEE;

std::array<unsigned char, 8> sentinelBuffer() {
    std::array<unsigned char, 8> out;
    out.fill(kUntouched);
    return out;
}

std::unique_ptr<HidInterface> openWith(const char* script) {
    EXPECT_TRUE(fakeHidSetScript(script));
    return std::unique_ptr<HidInterface>(HidInterface::open());
}

// Records the attempts of the blocking receive, proving they go through the virtual slot.
class RecordingReader : public HidInterface {
  public:
    RecordingReader() : HidInterface(hid_open(kVendorId, kProductId, nullptr)) {}
    std::int32_t receiveW26T(void* out, int len, int timeout) override {
        timeouts.push_back(timeout);
        results.push_back(HidInterface::receiveW26T(out, len, timeout));
        return results.back();
    }
    std::vector<int> timeouts;
    std::vector<std::int32_t> results;
};

}  // namespace

TEST(HidInterface, OpensTheFixedIdentifiersWithoutSerial) {
    auto reader = openWith("");
    ASSERT_NE(reader, nullptr);
    FakeHidRecord r = fakeHidRecord();
    EXPECT_EQ(r.opens, 1);
    EXPECT_EQ(r.vendor, 0xFFFF);
    EXPECT_EQ(r.product, 0x0001);
    EXPECT_EQ(r.serialGiven, 0);
}

TEST(HidInterface, AbsentDeviceGivesNoReader) {
    EXPECT_EQ(openWith("absent"), nullptr);
    EXPECT_EQ(fakeHidRecord().liveDevices, 0);
}

TEST(HidInterface, ValidFrameDeliversThreeBytesInOrderAndNothingMore) {
    auto reader = openWith("frame 18 a1 b2 c3");
    auto out = sentinelBuffer();
    EXPECT_EQ(reader->receiveW26T(out.data(), 3, 250), 3);
    EXPECT_EQ(out[0], 0xA1);
    EXPECT_EQ(out[1], 0xB2);
    EXPECT_EQ(out[2], 0xC3);
    for (size_t i = 3; i < out.size(); ++i) {
        EXPECT_EQ(out[i], kUntouched) << "byte " << i;
    }
    EXPECT_EQ(fakeHidReadTimeout(0), 250);
    EXPECT_EQ(fakeHidReadLength(0), 5);
}

TEST(HidInterface, DiscardedReportsAndTimeoutsAreNoRead) {
    auto reader =
        openWith("frame 18 01 02 03 04; frame 18 01 02; frame 17 01 02 03; frame; timeout");
    auto out = sentinelBuffer();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(reader->receiveW26T(out.data(), 8, 0), 0) << "step " << i;
    }
    EXPECT_EQ(out, sentinelBuffer());
}

TEST(HidInterface, BlockingReceiveWaitsThroughDiscardsInVirtualAttempts) {
    ASSERT_TRUE(
        fakeHidSetScript("frame 18 01 02 03 04; timeout; frame 17 01 02 03; frame 18 07 08 09"));
    RecordingReader reader;
    auto out = sentinelBuffer();
    EXPECT_TRUE(reader.receiveW26(out.data(), 3));
    EXPECT_EQ(reader.timeouts, (std::vector<int>{1000, 1000, 1000, 1000}));
    EXPECT_EQ(reader.results, (std::vector<std::int32_t>{0, 0, 0, 3}));
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[2], 9);
    EXPECT_EQ(out[3], kUntouched);
}

TEST(HidInterface, ReadErrorEndsBothReceivesAndKeepsTheReaderOpen) {
    auto reader = openWith("timeout; error; error; frame 18 01 02 03");
    auto out = sentinelBuffer();
    EXPECT_FALSE(reader->receiveW26(out.data(), 3));
    EXPECT_EQ(reader->receiveW26T(out.data(), 3, 0), -1);
    EXPECT_EQ(out, sentinelBuffer());
    EXPECT_EQ(reader->receiveW26T(out.data(), 3, 0), 3);
    EXPECT_EQ(fakeHidRecord().closes, 0);
}

TEST(HidInterface, UnusableOutputIsRejectedWithoutReading) {
    auto reader = openWith("frame 18 01 02 03");
    auto out = sentinelBuffer();
    EXPECT_EQ(reader->receiveW26T(out.data(), 2, 0), -1);
    EXPECT_EQ(reader->receiveW26T(out.data(), -5, 0), -1);
    EXPECT_EQ(reader->receiveW26T(nullptr, 3, 0), -1);
    EXPECT_FALSE(reader->receiveW26(out.data(), 2));
    EXPECT_FALSE(reader->receiveW26(nullptr, 3));
    EXPECT_EQ(fakeHidRecord().reads, 0);
    EXPECT_EQ(out, sentinelBuffer());
    EXPECT_EQ(reader->receiveW26T(out.data(), 3, 0), 3);
}

TEST(HidInterface, ClosedReaderFailsWithoutTouchingHidapi) {
    auto reader = openWith("frame 18 01 02 03");
    EXPECT_TRUE(reader->close());
    EXPECT_FALSE(reader->close());
    auto out = sentinelBuffer();
    EXPECT_EQ(reader->receiveW26T(out.data(), 3, 0), -1);
    EXPECT_FALSE(reader->receiveW26(out.data(), 3));
    FakeHidRecord r = fakeHidRecord();
    EXPECT_EQ(r.closes, 1);
    EXPECT_EQ(r.reads, 0);
    reader.reset();
    EXPECT_EQ(fakeHidRecord().closes, 1);
}

TEST(HidInterface, DestructorReleasesAnOpenDevice) {
    openWith("").reset();
    EXPECT_EQ(fakeHidRecord().closes, 1);
    EXPECT_EQ(fakeHidRecord().liveDevices, 0);
}
