// One pin-pad reader: its card slot, its keypad, and the control codes a
// CCID pin-pad answers.
#pragma once

// pcsc-lite declares the entry points without C linkage of their own.
extern "C" {
#include <ifdhandler.h>
#include <reader.h>
}

#include <mutex>
#include <optional>
#include <string>

#include "card_link.h"
#include "keypad.h"
#include "pin_command.h"

namespace pinpad {

class Slot {
  public:
    // DEVICENAME "CARDPORT:KEYPADPORT": the ports on 127.0.0.1 where the card
    // connects and where the keypad takes commands.
    bool open(const std::string& deviceName, std::string& error);
    void close();

    bool present();
    RESPONSECODE power(DWORD action, PUCHAR atr, PDWORD atrLength);
    RESPONSECODE atr(PUCHAR value, PDWORD length);
    RESPONSECODE transmit(const std::uint8_t* command, std::size_t size, PUCHAR response,
                          PDWORD responseLength);
    RESPONSECODE control(DWORD code, const std::uint8_t* in, std::size_t size, Bytes& out);

  private:
    RESPONSECODE pinOperation(DWORD code, const std::uint8_t* in, std::size_t size, Bytes& out);
    // The outcome status word when the person did not give a usable PIN.
    std::optional<Bytes> enter(const PinCommand& command, unsigned seconds, std::string& pin);

    std::mutex cardMutex_;
    CardLink card_;
    Keypad keypad_;
};

}  // namespace pinpad
