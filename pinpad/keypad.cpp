#include "keypad.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "loopback.h"
#include "reader_features.h"

namespace pinpad {

namespace {

constexpr std::size_t kMaxClients = 16;
constexpr std::size_t kMaxLine = 256;

struct Client {
    int fd;
    std::string pending;
};

bool allDigits(const std::string& s) {
    for (const char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

void reply(int fd, const std::string& line) {
    const std::string out = line + "\n";
    // A client that does not read its replies loses them; the keypad never blocks on it.
    (void)::send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace

Keypad::Keypad() {
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&changed_, &attr);
    pthread_condattr_destroy(&attr);
}

Keypad::~Keypad() {
    stop();
    pthread_cond_destroy(&changed_);
}

bool Keypad::start(std::uint16_t port, std::string& error) {
    if (::pipe2(wakeFds_, O_CLOEXEC) != 0) {
        error = std::string("keypad socket: ") + std::strerror(errno);
        return false;
    }
    listenFd_ = listenOnLoopback(port, 8, 0, "keypad", error);
    if (listenFd_ < 0) {
        return false;
    }
    thread_ = std::thread([this] { serve(); });
    return true;
}

void Keypad::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    pthread_cond_broadcast(&changed_);
    if (thread_.joinable()) {
        const char wake = 0;
        (void)!::write(wakeFds_[1], &wake, 1);
        thread_.join();
    }
    for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

KeyEntry Keypad::take(unsigned seconds) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(seconds);
    std::unique_lock<std::mutex> lock(mutex_);
    ++prompts_;
    while (!stopping_ && queue_.empty()) {
        if (pthread_cond_timedwait(&changed_, mutex_.native_handle(), &deadline) == ETIMEDOUT) {
            break;
        }
    }
    --prompts_;
    if (queue_.empty()) return KeyEntry{};
    KeyEntry entry = std::move(queue_.front());
    queue_.pop_front();
    return entry;
}

std::string Keypad::command(const std::string& line) {
    const auto space = line.find(' ');
    const std::string verb = line.substr(0, space);
    const std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
    KeyEntry entry;
    if (verb == "type") {
        if (!allDigits(arg) || arg.size() > kMaxKeypadDigits) {
            return "err type takes up to " + std::to_string(kMaxKeypadDigits) + " digits";
        }
        entry = KeyEntry{KeyEntry::Kind::Digits, arg};
    } else if (verb == "cancel" && arg.empty()) {
        entry.kind = KeyEntry::Kind::Cancel;
    } else if (verb == "timeout" && arg.empty()) {
        entry.kind = KeyEntry::Kind::Timeout;
    } else if (verb == "clear" && arg.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        return "ok";
    } else if (verb == "status" && arg.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::string(prompts_ > 0 ? "waiting " : "idle ") + std::to_string(queue_.size());
    } else {
        return "err unknown command (type DIGITS, cancel, timeout, clear, status)";
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(entry));
    }
    pthread_cond_broadcast(&changed_);
    return "ok";
}

void Keypad::serve() {
    std::vector<Client> clients;
    for (;;) {
        std::vector<pollfd> fds{{wakeFds_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const Client& c : clients) fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        if ((fds[1].revents & POLLIN) != 0) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0 && clients.size() < kMaxClients) {
                clients.push_back({fd, {}});
            } else if (fd >= 0) {
                reply(fd, "err too many connections");
                ::close(fd);
            }
        }
        // Newest first, so that erasing keeps the indices of those still to look at.
        for (std::size_t i = fds.size(); i-- > 2;) {
            if (fds[i].revents == 0) continue;
            Client& c = clients[i - 2];
            char buf[256];
            const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
            bool drop = n <= 0;
            if (!drop) c.pending.append(buf, static_cast<std::size_t>(n));
            std::size_t nl;
            while (!drop && (nl = c.pending.find('\n')) != std::string::npos) {
                std::string line = c.pending.substr(0, nl);
                c.pending.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                reply(c.fd, command(line));
            }
            if (drop || c.pending.size() > kMaxLine) {
                ::close(c.fd);
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i - 2));
            }
        }
    }
    for (const Client& c : clients) ::close(c.fd);
}

}  // namespace pinpad
