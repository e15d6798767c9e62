// The card's end of the vpcd driver's TCP protocol: every message is a
// two-byte big-endian length followed by the payload, in both directions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vcard {

class DriverLink {
  public:
    DriverLink() = default;
    DriverLink(const DriverLink&) = delete;
    DriverLink& operator=(const DriverLink&) = delete;
    ~DriverLink() { close(); }

    // One connection attempt; false while the driver's port does not accept.
    bool connect(const std::string& host, std::uint16_t port);
    void close();
    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Reads one whole message; false when the driver closed or failed.
    bool receive(std::vector<std::uint8_t>& payload);
    bool send(const std::vector<std::uint8_t>& payload);

  private:
    bool readFully(std::uint8_t* p, std::size_t n);
    void armQuickAck();

    int fd_ = -1;
};

}  // namespace vcard
