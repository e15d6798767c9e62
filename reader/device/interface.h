// What every reader offers; the flat functions reach readers only through it.
#pragma once

#include <cstdint>

namespace velk {

class Interface {
  public:
    virtual ~Interface() = default;
    // True when this call released the device, false when it was already closed.
    virtual bool close() = 0;
    // Waits without limit; true when three data bytes were stored at out[0..2].
    virtual bool receiveW26(void* out, int len) = 0;
    // One bounded wait: 3 (bytes stored at out[0..2]), 0 (no card read) or -1 (error).
    virtual std::int32_t receiveW26T(void* out, int len, int timeout) = 0;

    Interface(const Interface&) = delete;
    Interface& operator=(const Interface&) = delete;

  protected:
    Interface() = default;
};

}  // namespace velk
