#include "device/hid_interface.h"

#include <cstring>
#include <mutex>
#include <new>

namespace velk {

namespace {
// Reports are read into a buffer one byte longer than a frame, so that
// longer reports show up as such instead of as truncated frames.
constexpr std::size_t kReportBufferSize = 5;
constexpr int kFrameLength = 4;
constexpr unsigned char kFrameMarker = 24;
constexpr int kDataBytes = 3;

// hidapi initializes itself on the first open and changes process-wide state,
// its last error text among it, without a lock: opens, from C and Java alike,
// take their turn.
std::mutex openLock;
}  // namespace

HidInterface* HidInterface::open() {
    hid_device* device = nullptr;
    {
        std::lock_guard<std::mutex> lock(openLock);
        device = hid_open(kVendorId, kProductId, nullptr);
    }
    if (device == nullptr) {
        return nullptr;
    }
    // A failed allocation must neither escape a C caller nor leak the device.
    auto* reader = new (std::nothrow) HidInterface(device);
    if (reader == nullptr) {
        hid_close(device);
    }
    return reader;
}

HidInterface::HidInterface(hid_device* device) : device(device) {}

HidInterface::~HidInterface() { HidInterface::close(); }

bool HidInterface::close() {
    if (device == nullptr) {
        return false;
    }
    hid_close(device);
    device = nullptr;
    return true;
}

bool HidInterface::receiveW26(void* out, int len) {
    for (;;) {
        std::int32_t rc = receiveW26T(out, len, kAttemptMillis);
        if (rc == kError) {
            return false;
        }
        if (rc == kDelivered) {
            return true;
        }
    }
}

std::int32_t HidInterface::receiveW26T(void* out, int len, int timeout) {
    unsigned char report[kReportBufferSize] = {};
    if (len < kDataBytes || out == nullptr) {
        return kError;
    }
    if (device == nullptr) {
        return kError;
    }
    int n = hid_read_timeout(device, report, sizeof report, timeout);
    // hidapi signals failure with -1; no other negative count can be a frame.
    if (n < 0) {
        return kError;
    }
    if (n != kFrameLength || report[0] != kFrameMarker) {
        return kNoRead;
    }
    std::memcpy(out, report + 1, kDataBytes);
    return kDelivered;
}

}  // namespace velk
