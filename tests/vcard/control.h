// The card's control channel: a line protocol on a TCP port of 127.0.0.1.
// Each line is one command; each command gets one reply line.
#pragma once

#include <poll.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace vcard {

class ControlServer {
  public:
    struct Command {
        int client;
        std::string line;
        bool started = false;  // begun, its reply waits for the card to settle
    };

    ControlServer() = default;
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;
    ~ControlServer();

    // Port 0 lets the kernel choose; port() then tells which.
    bool listen(std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }

    void addPollFds(std::vector<pollfd>& fds) const;
    // Accepts clients and reads their input; complete lines are queued.
    void handle(const std::vector<pollfd>& fds);
    // Commands in arrival order; the caller pops what it has answered.
    std::deque<Command>& pending() { return pending_; }
    void reply(int client, const std::string& line);

  private:
    void drop(int client);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::map<int, std::string> clients_;  // fd -> unfinished input
    std::deque<Command> pending_;
};

}  // namespace vcard
