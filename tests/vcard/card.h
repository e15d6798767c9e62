// The card itself: its place in the reader and its answers to what the
// driver sends. Insertion ends only when the driver has spoken on the new
// connection: the driver accepts it at its next presence poll, and only then
// does pcscd see the card.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "driver_link.h"
#include "script.h"

namespace vcard {

class Card {
  public:
    enum class State {
        Removed,
        Connecting,  // retrying until the driver's port accepts
        Attached,    // connected, waiting for the driver's first message
        Inserted
    };

    Card(std::string host, std::uint16_t port, Script script, std::chrono::milliseconds patience,
         bool verbose);

    State state() const { return state_; }
    bool settled() const { return state_ == State::Removed || state_ == State::Inserted; }
    bool linked() const { return state_ == State::Attached || state_ == State::Inserted; }
    std::uint16_t port() const { return port_; }
    std::chrono::milliseconds patience() const { return patience_; }

    // Inserting while inserted first removes: pcscd sees a new card.
    void insert();
    void insert(Script script);
    void remove();

    // While inserting: how long poll may sleep before step() is due.
    int pollTimeoutMs() const;
    // One connection attempt while connecting; gives up after the patience.
    void step();
    int driverFd() const { return link_.fd(); }
    // Reads and answers one message of the driver.
    void onDriverReadable();

  private:
    void log(const std::string& what) const;
    void answer(const std::vector<std::uint8_t>& message);

    std::string host_;
    std::uint16_t port_;
    Script script_;
    std::chrono::milliseconds patience_;
    bool verbose_;
    State state_ = State::Removed;
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::steady_clock::time_point nextTry_;
    DriverLink link_;
};

}  // namespace vcard
