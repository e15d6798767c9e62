#include "control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vcard {

ControlServer::~ControlServer() {
    for (const auto& c : clients_) ::close(c.first);
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool ControlServer::listen(std::uint16_t port, std::string& error) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listenFd_, 8) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error = "control port " + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    port_ = ntohs(addr.sin_port);
    return true;
}

void ControlServer::addPollFds(std::vector<pollfd>& fds) const {
    fds.push_back({listenFd_, POLLIN, 0});
    for (const auto& c : clients_) fds.push_back({c.first, POLLIN, 0});
}

void ControlServer::handle(const std::vector<pollfd>& fds) {
    for (const pollfd& p : fds) {
        if (p.revents == 0) continue;
        if (p.fd == listenFd_) {
            const int c = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) clients_[c];
            continue;
        }
        auto it = clients_.find(p.fd);
        if (it == clients_.end()) continue;
        char buf[512];
        const ssize_t n = ::recv(p.fd, buf, sizeof buf, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            drop(p.fd);
            continue;
        }
        std::string& in = it->second;
        in.append(buf, static_cast<std::size_t>(n));
        for (auto nl = in.find('\n'); nl != std::string::npos; nl = in.find('\n')) {
            std::string line = in.substr(0, nl);
            in.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending_.push_back({p.fd, line});
        }
    }
}

void ControlServer::reply(int client, const std::string& line) {
    if (clients_.count(client) == 0) return;
    const std::string out = line + "\n";
    // Replies are short and clients read them; a client that went away is dropped.
    if (::send(client, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size())) {
        drop(client);
    }
}

void ControlServer::drop(int client) {
    ::close(client);
    clients_.erase(client);
    // Whatever it still asked for needs no answer.
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [client](const Command& c) { return c.client == client; }),
                   pending_.end());
}

}  // namespace vcard
