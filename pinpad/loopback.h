// A listening TCP socket on 127.0.0.1, for the card's port and the keypad's.
#pragma once

#include <cstdint>
#include <string>

namespace pinpad {

// The listening socket, or -1 with error set to "WHAT port PORT: reason".
// extraFlags go to socket() beside SOCK_CLOEXEC (SOCK_NONBLOCK, for one).
int listenOnLoopback(std::uint16_t port, int backlog, int extraFlags, const char* what,
                     std::string& error);

}  // namespace pinpad
