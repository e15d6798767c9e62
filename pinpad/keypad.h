// The reader's keypad, played over a line protocol on a TCP port of
// 127.0.0.1: a test or a user queues what the person at the reader does
// (`type 1234`, `cancel`, `timeout`), and each PIN prompt takes the oldest
// queued entry or waits for one.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pinpad {

struct KeyEntry {
    enum class Kind { Digits, Cancel, Timeout };
    Kind kind = Kind::Timeout;
    std::string digits;  // typed before OK
};

class Keypad {
  public:
    Keypad();
    Keypad(const Keypad&) = delete;
    Keypad& operator=(const Keypad&) = delete;
    ~Keypad();

    // Listens on 127.0.0.1:port and serves the port on a thread of its own.
    bool start(std::uint16_t port, std::string& error);
    void stop();

    // The next entry; a timeout entry when none comes within `seconds`.
    KeyEntry take(unsigned seconds);

    // One command line of the protocol and its reply (without newline).
    std::string command(const std::string& line);

  private:
    void serve();

    std::mutex mutex_;
    // pthread's timed wait on whole seconds of the monotonic clock: the
    // standard library's waits divide the clock's 64-bit nanoseconds, which
    // on a 32-bit target needs a newer libgcc_s than older machines have.
    pthread_cond_t changed_;
    std::deque<KeyEntry> queue_;
    int prompts_ = 0;  // PIN prompts waiting for an entry
    bool stopping_ = false;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace pinpad
