#include "driver_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vcard {

bool DriverLink::connect(const std::string& host, std::uint16_t port) {
    close();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    // The driver writes length and payload separately: without these every
    // exchange waits for a delayed ACK (about 40 ms).
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fd_ = fd;
    armQuickAck();
    return true;
}

void DriverLink::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// The kernel drops quick-ACK mode on its own, so it is set again after
// every receive.
void DriverLink::armQuickAck() {
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

bool DriverLink::readFully(std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t r = ::recv(fd_, p, n, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        armQuickAck();
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool DriverLink::receive(std::vector<std::uint8_t>& payload) {
    if (fd_ < 0) return false;
    std::uint8_t len[2];
    if (!readFully(len, 2)) return false;
    payload.resize((std::size_t{len[0]} << 8) | len[1]);
    return payload.empty() || readFully(payload.data(), payload.size());
}

bool DriverLink::send(const std::vector<std::uint8_t>& payload) {
    if (fd_ < 0 || payload.size() > 0xFFFF) return false;
    // One write for length and payload, so the driver never waits between them.
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 2);
    frame.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
    frame.push_back(static_cast<std::uint8_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    std::size_t off = 0;
    while (off < frame.size()) {
        const ssize_t w = ::send(fd_, frame.data() + off, frame.size() - off, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        off += static_cast<std::size_t>(w);
    }
    return true;
}

}  // namespace vcard
