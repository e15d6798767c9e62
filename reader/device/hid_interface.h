// The reader over a hidapi device handle.
#pragma once

#include <hidapi.h>

#include <cstdint>

#include "device/interface.h"

namespace velk {

class HidInterface : public Interface {
  public:
    static constexpr unsigned short kVendorId = 0xFFFF;
    static constexpr unsigned short kProductId = 0x0001;
    // Length of each wait of the blocking receive.
    static constexpr int kAttemptMillis = 1000;

    static constexpr std::int32_t kDelivered = 3;
    static constexpr std::int32_t kNoRead = 0;
    static constexpr std::int32_t kError = -1;

    // The first device with the fixed identifiers, or null when there is none.
    static HidInterface* open();

    ~HidInterface() override;
    bool close() override;
    bool receiveW26(void* out, int len) override;
    std::int32_t receiveW26T(void* out, int len, int timeout) override;

  protected:
    // Takes ownership of an open device.
    explicit HidInterface(hid_device* device);

  private:
    hid_device* device;
};

}  // namespace velk
