// The reader's card slot: the project's virtual card connects to a TCP port
// of 127.0.0.1 and speaks the framing of vpcd's protocol (two-byte big-endian
// length, then the payload). One-byte messages power the card off (0), on (1),
// reset it (2) or ask for its ATR (4); longer ones are APDUs. The slot is
// empty while no card is connected.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pinpad {

using Bytes = std::vector<std::uint8_t>;

class CardLink {
  public:
    CardLink() = default;
    CardLink(const CardLink&) = delete;
    CardLink& operator=(const CardLink&) = delete;
    ~CardLink() { close(); }

    bool listen(std::uint16_t port, std::string& error);
    void close();

    // Takes a card that is waiting to connect and notices a card that left.
    bool present();
    const Bytes& atr() const { return atr_; }

    enum class Power : std::uint8_t { Off = 0, On = 1, Reset = 2 };
    // False when the card is gone; On and Reset read the ATR afresh.
    bool power(Power action);
    // One APDU and its answer; false (and the slot empty) when the card
    // left or fell silent.
    bool exchange(const std::uint8_t* command, std::size_t size, Bytes& response);

  private:
    bool send(const Bytes& payload);
    bool receive(Bytes& payload);
    bool readFully(std::uint8_t* p, std::size_t n);
    bool fetchAtr();
    void drop();

    int listenFd_ = -1;
    int cardFd_ = -1;
    Bytes atr_;
};

}  // namespace pinpad
