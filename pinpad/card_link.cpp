#include "card_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "loopback.h"

namespace pinpad {

namespace {

constexpr std::uint8_t kGetAtr = 4;
constexpr std::size_t kMaxAtr = 33;
// A card that stays silent this long is taken for gone, so that pcscd is
// never held by it for good.
constexpr int kAnswerTimeoutMs = 15000;

}  // namespace

bool CardLink::listen(std::uint16_t port, std::string& error) {
    listenFd_ = listenOnLoopback(port, 1, SOCK_NONBLOCK, "card", error);
    return listenFd_ >= 0;
}

void CardLink::close() {
    drop();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void CardLink::drop() {
    if (cardFd_ >= 0) ::close(cardFd_);
    cardFd_ = -1;
    atr_.clear();
}

bool CardLink::present() {
    if (cardFd_ >= 0) {
        // The card never speaks first: anything readable is its leaving.
        pollfd p{cardFd_, POLLIN, 0};
        if (::poll(&p, 1, 0) != 0) drop();
    }
    if (cardFd_ < 0 && listenFd_ >= 0) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return false;
        // Length and payload go out in one write; without this every
        // exchange would wait for a delayed ACK.
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        cardFd_ = fd;
        if (!fetchAtr()) return false;
    }
    return cardFd_ >= 0;
}

bool CardLink::power(Power action) {
    if (cardFd_ < 0 || !send(Bytes{static_cast<std::uint8_t>(action)})) return false;
    return action == Power::Off || fetchAtr();
}

bool CardLink::exchange(const std::uint8_t* command, std::size_t size, Bytes& response) {
    // A one-byte APDU would read as a power message; no APDU is that short.
    if (cardFd_ < 0 || size < 2) return false;
    return send(Bytes(command, command + size)) && receive(response);
}

bool CardLink::fetchAtr() {
    Bytes atr;
    if (!send(Bytes{kGetAtr}) || !receive(atr)) return false;
    if (atr.empty() || atr.size() > kMaxAtr) {
        drop();
        return false;
    }
    atr_ = std::move(atr);
    return true;
}

bool CardLink::send(const Bytes& payload) {
    Bytes frame{static_cast<std::uint8_t>(payload.size() >> 8),
                static_cast<std::uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    std::size_t off = 0;
    while (off < frame.size()) {
        const ssize_t w = ::send(cardFd_, frame.data() + off, frame.size() - off, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            drop();
            return false;
        }
        off += static_cast<std::size_t>(w);
    }
    return true;
}

bool CardLink::readFully(std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        pollfd pfd{cardFd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, kAnswerTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t r = ::recv(cardFd_, p, n, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool CardLink::receive(Bytes& payload) {
    std::uint8_t len[2];
    if (cardFd_ < 0 || !readFully(len, 2)) {
        drop();
        return false;
    }
    payload.resize(static_cast<std::size_t>(len[0] << 8 | len[1]));
    if (!payload.empty() && !readFully(payload.data(), payload.size())) {
        drop();
        return false;
    }
    return true;
}

}  // namespace pinpad
