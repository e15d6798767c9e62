#include "slot.h"

#include <cstdlib>
#include <cstring>

#include "reader_features.h"

namespace pinpad {

namespace {

constexpr unsigned kDefaultEntryTimeoutSeconds = 30;

// Outcomes of PIN entry that the reader answers in place of the card.
const Bytes kSwTimeout{0x64, 0x00};
const Bytes kSwCancelled{0x64, 0x01};
const Bytes kSwMismatch{0x64, 0x02};
const Bytes kSwBadLength{0x64, 0x03};
const Bytes kSwBadStructure{0x6B, 0x80};

bool parsePort(const std::string& text, std::uint16_t& port) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value == 0 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool Slot::open(const std::string& deviceName, std::string& error) {
    const auto colon = deviceName.find(':');
    std::uint16_t cardPort = 0, keypadPort = 0;
    if (colon == std::string::npos || !parsePort(deviceName.substr(0, colon), cardPort) ||
        !parsePort(deviceName.substr(colon + 1), keypadPort)) {
        error = "DEVICENAME must be CARDPORT:KEYPADPORT, not \"" + deviceName + "\"";
        return false;
    }
    return card_.listen(cardPort, error) && keypad_.start(keypadPort, error);
}

void Slot::close() {
    keypad_.stop();
    std::lock_guard<std::mutex> lock(cardMutex_);
    card_.close();
}

bool Slot::present() {
    std::lock_guard<std::mutex> lock(cardMutex_);
    return card_.present();
}

RESPONSECODE Slot::power(DWORD action, PUCHAR atr, PDWORD atrLength) {
    std::lock_guard<std::mutex> lock(cardMutex_);
    const DWORD capacity = *atrLength;
    *atrLength = 0;
    CardLink::Power what;
    switch (action) {
        case IFD_POWER_UP:
            what = CardLink::Power::On;
            break;
        case IFD_POWER_DOWN:
            what = CardLink::Power::Off;
            break;
        case IFD_RESET:
            what = CardLink::Power::Reset;
            break;
        default:
            return IFD_NOT_SUPPORTED;
    }
    if (!card_.present()) return what == CardLink::Power::Off ? IFD_SUCCESS : IFD_ICC_NOT_PRESENT;
    if (!card_.power(what)) return IFD_ERROR_POWER_ACTION;
    if (what == CardLink::Power::Off) return IFD_SUCCESS;
    if (card_.atr().size() > capacity) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(atr, card_.atr().data(), card_.atr().size());
    *atrLength = static_cast<DWORD>(card_.atr().size());
    return IFD_SUCCESS;
}

RESPONSECODE Slot::atr(PUCHAR value, PDWORD length) {
    std::lock_guard<std::mutex> lock(cardMutex_);
    if (card_.atr().size() > *length) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(value, card_.atr().data(), card_.atr().size());
    *length = static_cast<DWORD>(card_.atr().size());
    return IFD_SUCCESS;
}

RESPONSECODE Slot::transmit(const std::uint8_t* command, std::size_t size, PUCHAR response,
                            PDWORD responseLength) {
    const DWORD capacity = *responseLength;
    *responseLength = 0;
    Bytes answer;
    {
        std::lock_guard<std::mutex> lock(cardMutex_);
        if (!card_.present()) return IFD_ICC_NOT_PRESENT;
        if (!card_.exchange(command, size, answer)) return IFD_COMMUNICATION_ERROR;
    }
    if (answer.size() > capacity) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(response, answer.data(), answer.size());
    *responseLength = static_cast<DWORD>(answer.size());
    return IFD_SUCCESS;
}

RESPONSECODE Slot::control(DWORD code, const std::uint8_t* in, std::size_t size, Bytes& out) {
    if (code == kGetFeatureRequest) {
        out = featureList();
    } else if (code == featureCode(kFeatureIfdPinProperties)) {
        out = pinProperties();
    } else if (code == featureCode(kFeatureGetTlvProperties)) {
        out = tlvProperties();
    } else if (code == featureCode(kFeatureVerifyPinDirect) ||
               code == featureCode(kFeatureModifyPinDirect)) {
        return pinOperation(code, in, size, out);
    } else {
        return IFD_ERROR_NOT_SUPPORTED;
    }
    return IFD_SUCCESS;
}

std::optional<Bytes> Slot::enter(const PinCommand& command, unsigned seconds, std::string& pin) {
    const KeyEntry entry = keypad_.take(seconds);
    switch (entry.kind) {
        case KeyEntry::Kind::Timeout:
            return kSwTimeout;
        case KeyEntry::Kind::Cancel:
            return kSwCancelled;
        case KeyEntry::Kind::Digits:
            break;
    }
    if (entry.digits.size() < command.minDigits || entry.digits.size() > command.maxDigits) {
        return kSwBadLength;
    }
    pin = entry.digits;
    return {};
}

RESPONSECODE Slot::pinOperation(DWORD code, const std::uint8_t* in, std::size_t size, Bytes& out) {
    {
        std::lock_guard<std::mutex> lock(cardMutex_);
        if (!card_.present()) return IFD_ICC_NOT_PRESENT;
    }
    const bool modify = code == featureCode(kFeatureModifyPinDirect);
    const std::optional<PinCommand> command =
        modify ? parseModify(in, size) : parseVerify(in, size);
    if (!command) {
        out = kSwBadStructure;
        return IFD_SUCCESS;
    }
    // The keypad is waited for without the card's lock, so that pcscd's
    // presence polls go on meanwhile.
    const unsigned first = command->timeOut ? command->timeOut : kDefaultEntryTimeoutSeconds;
    const unsigned later = command->timeOut2 ? command->timeOut2 : first;
    std::string current, fresh, confirmation;
    std::optional<Bytes> outcome;
    if (command->asksCurrent && modify) outcome = enter(*command, first, current);
    if (!outcome) outcome = enter(*command, modify && command->asksCurrent ? later : first, fresh);
    if (!outcome && command->asksConfirmation) {
        outcome = enter(*command, later, confirmation);
        if (!outcome && confirmation != fresh) outcome = kSwMismatch;
    }
    if (outcome) {
        out = *outcome;
        return IFD_SUCCESS;
    }
    const Bytes apdu = buildApdu(*command, current, fresh);
    std::lock_guard<std::mutex> lock(cardMutex_);
    if (!card_.present()) return IFD_ICC_NOT_PRESENT;
    return card_.exchange(apdu.data(), apdu.size(), out) ? IFD_SUCCESS : IFD_COMMUNICATION_ERROR;
}

}  // namespace pinpad
