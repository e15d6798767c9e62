// The entry points pcscd calls (ifdhandler.h, API v3), one reader per
// reader.conf entry, found by its Lun.
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "slot.h"

#define PINPAD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex slotsMutex;
std::map<DWORD, std::shared_ptr<pinpad::Slot>>& slots() {
    static auto* map = new std::map<DWORD, std::shared_ptr<pinpad::Slot>>;
    return *map;
}

std::shared_ptr<pinpad::Slot> find(DWORD lun) {
    std::lock_guard<std::mutex> lock(slotsMutex);
    const auto it = slots().find(lun);
    return it == slots().end() ? nullptr : it->second;
}

RESPONSECODE putByte(PDWORD length, PUCHAR value, UCHAR byte) {
    if (*length < 1) return IFD_ERROR_INSUFFICIENT_BUFFER;
    *length = 1;
    value[0] = byte;
    return IFD_SUCCESS;
}

}  // namespace

PINPAD_EXPORT RESPONSECODE IFDHCreateChannelByName(DWORD Lun, LPSTR DeviceName) {
    auto slot = std::make_shared<pinpad::Slot>();
    std::string error;
    if (!slot->open(DeviceName ? DeviceName : "", error)) {
        std::fprintf(stderr, "velk pin-pad: %s\n", error.c_str());
        slot->close();
        return IFD_COMMUNICATION_ERROR;
    }
    std::lock_guard<std::mutex> lock(slotsMutex);
    slots()[Lun] = std::move(slot);
    return IFD_SUCCESS;
}

// pcscd binds this one too; an entry without DEVICENAME gives the card port
// as CHANNELID, and the keypad takes the port after it.
PINPAD_EXPORT RESPONSECODE IFDHCreateChannel(DWORD Lun, DWORD Channel) {
    std::string name = std::to_string(Channel) + ":" + std::to_string(Channel + 1);
    return IFDHCreateChannelByName(Lun, &name[0]);
}

PINPAD_EXPORT RESPONSECODE IFDHCloseChannel(DWORD Lun) {
    std::shared_ptr<pinpad::Slot> slot;
    {
        std::lock_guard<std::mutex> lock(slotsMutex);
        const auto it = slots().find(Lun);
        if (it == slots().end()) return IFD_NO_SUCH_DEVICE;
        slot = std::move(it->second);
        slots().erase(it);
    }
    slot->close();
    return IFD_SUCCESS;
}

PINPAD_EXPORT RESPONSECODE IFDHGetCapabilities(DWORD Lun, DWORD Tag, PDWORD Length, PUCHAR Value) {
    const auto slot = find(Lun);
    if (!slot) return IFD_NO_SUCH_DEVICE;
    switch (Tag) {
        case TAG_IFD_ATR:
        case SCARD_ATTR_ATR_STRING:
            return slot->atr(Value, Length);
        case TAG_IFD_SLOTS_NUMBER:
            return putByte(Length, Value, 1);
        case TAG_IFD_SIMULTANEOUS_ACCESS:
            return putByte(Length, Value, 16);
        // Every entry point takes its own locks.
        case TAG_IFD_THREAD_SAFE:
            return putByte(Length, Value, 1);
        case TAG_IFD_SLOT_THREAD_SAFE:
            return putByte(Length, Value, 0);
        default:
            return IFD_ERROR_TAG;
    }
}

PINPAD_EXPORT RESPONSECODE IFDHSetCapabilities(DWORD, DWORD, DWORD, PUCHAR) {
    return IFD_NOT_SUPPORTED;
}

PINPAD_EXPORT RESPONSECODE IFDHSetProtocolParameters(DWORD Lun, DWORD Protocol, UCHAR, UCHAR, UCHAR,
                                                     UCHAR) {
    if (!find(Lun)) return IFD_NO_SUCH_DEVICE;
    // The link carries whole APDUs: either protocol is fine with it.
    return Protocol == SCARD_PROTOCOL_T0 || Protocol == SCARD_PROTOCOL_T1
               ? IFD_SUCCESS
               : IFD_PROTOCOL_NOT_SUPPORTED;
}

PINPAD_EXPORT RESPONSECODE IFDHPowerICC(DWORD Lun, DWORD Action, PUCHAR Atr, PDWORD AtrLength) {
    const auto slot = find(Lun);
    if (!slot) return IFD_NO_SUCH_DEVICE;
    return slot->power(Action, Atr, AtrLength);
}

PINPAD_EXPORT RESPONSECODE IFDHTransmitToICC(DWORD Lun, SCARD_IO_HEADER, PUCHAR TxBuffer,
                                             DWORD TxLength, PUCHAR RxBuffer, PDWORD RxLength,
                                             PSCARD_IO_HEADER) {
    const auto slot = find(Lun);
    if (!slot) return IFD_NO_SUCH_DEVICE;
    return slot->transmit(TxBuffer, TxLength, RxBuffer, RxLength);
}

PINPAD_EXPORT RESPONSECODE IFDHControl(DWORD Lun, DWORD dwControlCode, PUCHAR TxBuffer,
                                       DWORD TxLength, PUCHAR RxBuffer, DWORD RxLength,
                                       LPDWORD pdwBytesReturned) {
    if (pdwBytesReturned) *pdwBytesReturned = 0;
    const auto slot = find(Lun);
    if (!slot) return IFD_NO_SUCH_DEVICE;
    pinpad::Bytes answer;
    const RESPONSECODE rv = slot->control(dwControlCode, TxBuffer, TxBuffer ? TxLength : 0, answer);
    if (rv != IFD_SUCCESS) return rv;
    if (answer.size() > RxLength || (!answer.empty() && !RxBuffer)) {
        return IFD_ERROR_INSUFFICIENT_BUFFER;
    }
    if (!answer.empty()) std::memcpy(RxBuffer, answer.data(), answer.size());
    if (pdwBytesReturned) *pdwBytesReturned = static_cast<DWORD>(answer.size());
    return IFD_SUCCESS;
}

PINPAD_EXPORT RESPONSECODE IFDHICCPresence(DWORD Lun) {
    const auto slot = find(Lun);
    if (!slot) return IFD_NO_SUCH_DEVICE;
    return slot->present() ? IFD_ICC_PRESENT : IFD_ICC_NOT_PRESENT;
}
