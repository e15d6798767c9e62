#include "card.h"

#include <cstdio>
#include <utility>

namespace vcard {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRetry{20};

// One-byte messages of the driver.
constexpr std::uint8_t kPowerOff = 0;
constexpr std::uint8_t kPowerOn = 1;
constexpr std::uint8_t kReset = 2;
constexpr std::uint8_t kGetAtr = 4;

std::string hex(const std::vector<std::uint8_t>& v, std::size_t max = 32) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < v.size() && i < max; ++i) {
        s += digits[v[i] >> 4];
        s += digits[v[i] & 15];
    }
    if (v.size() > max) s += "...(" + std::to_string(v.size()) + " bytes)";
    return s;
}

}  // namespace

Card::Card(std::string host, std::uint16_t port, Script script, std::chrono::milliseconds patience,
           bool verbose)
    : host_(std::move(host)),
      port_(port),
      script_(std::move(script)),
      patience_(patience),
      verbose_(verbose) {}

void Card::log(const std::string& what) const {
    if (verbose_) std::fprintf(stderr, "velk_vcard[%u]: %s\n", port_, what.c_str());
}

void Card::insert() {
    link_.close();
    state_ = State::Connecting;
    deadline_ = Clock::now() + patience_;
    nextTry_ = Clock::now();
    log("inserting");
}

void Card::insert(Script script) {
    script_ = std::move(script);
    insert();
}

void Card::remove() {
    link_.close();
    state_ = State::Removed;
    log("removed");
}

int Card::pollTimeoutMs() const {
    if (settled()) return -1;
    const auto due = state_ == State::Connecting ? nextTry_ : deadline_;
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
    return wait > 0 ? static_cast<int>(wait) : 0;
}

void Card::step() {
    if (state_ == State::Attached && Clock::now() >= deadline_) {
        log("driver did not take the card, giving up");
        remove();
        return;
    }
    if (state_ != State::Connecting || Clock::now() < nextTry_) return;
    if (link_.connect(host_, port_)) {
        state_ = State::Attached;
        log("connected");
        return;
    }
    if (Clock::now() >= deadline_) {
        remove();
        log("driver port did not accept, giving up");
        return;
    }
    nextTry_ = Clock::now() + kRetry;
}

void Card::onDriverReadable() {
    std::vector<std::uint8_t> message;
    if (!link_.receive(message)) {
        log("driver closed the connection");
        remove();
        return;
    }
    if (state_ == State::Attached) {
        state_ = State::Inserted;
        log("inserted");
    }
    answer(message);
}

void Card::answer(const std::vector<std::uint8_t>& message) {
    if (message.size() == 1) {
        switch (message[0]) {
            case kGetAtr:
                log("atr " + hex(script_.atr()));
                if (!link_.send(script_.atr())) remove();
                return;
            case kPowerOff:
                log("power off");
                return;
            case kPowerOn:
                log("power on");
                return;
            case kReset:
                log("reset");
                return;
            default:
                log("unknown control " + std::to_string(message[0]));
                return;
        }
    }
    const std::vector<std::uint8_t> response = script_.respond(message);
    if (response.empty()) {
        // vpcd waits on for an empty frame, but takes a closed connection for an empty
        // answer: a card pulled in the middle of the exchange.
        log("> " + hex(message) + "  pulled");
        remove();
        return;
    }
    log("> " + hex(message) + "  < " + hex(response));
    if (!link_.send(response)) remove();
}

}  // namespace vcard
