// Fixed answers, no records, no allocation: see fake_pcsc_lean.h.
#include "fake_pcsc_lean.h"

#include <winscard.h>

#include <atomic>
#include <cstddef>
#include <cstring>

#define VELK_EXPORT __attribute__((visibility("default")))

extern "C" {
VELK_EXPORT extern const SCARD_IO_REQUEST g_rgSCardT0Pci;
VELK_EXPORT extern const SCARD_IO_REQUEST g_rgSCardT1Pci;
VELK_EXPORT extern const SCARD_IO_REQUEST g_rgSCardRawPci;
const SCARD_IO_REQUEST g_rgSCardT0Pci = {SCARD_PROTOCOL_T0, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardT1Pci = {SCARD_PROTOCOL_T1, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardRawPci = {SCARD_PROTOCOL_RAW, sizeof(SCARD_IO_REQUEST)};
}

namespace {

// Every function the real client library exports, in a fixed order.
enum Function {
    kEstablishContext,
    kReleaseContext,
    kIsValidContext,
    kConnect,
    kReconnect,
    kDisconnect,
    kBeginTransaction,
    kEndTransaction,
    kStatus,
    kGetStatusChange,
    kControl,
    kTransmit,
    kListReaderGroups,
    kListReaders,
    kFreeMemory,
    kCancel,
    kGetAttrib,
    kSetAttrib,
    kFunctionCount
};

const char* const kFunctionNames[kFunctionCount] = {
    "SCardEstablishContext", "SCardReleaseContext",  "SCardIsValidContext",   "SCardConnect",
    "SCardReconnect",        "SCardDisconnect",      "SCardBeginTransaction", "SCardEndTransaction",
    "SCardStatus",           "SCardGetStatusChange", "SCardControl",          "SCardTransmit",
    "SCardListReaderGroups", "SCardListReaders",     "SCardFreeMemory",       "SCardCancel",
    "SCardGetAttrib",        "SCardSetAttrib"};

// One cache line of counters per thread, written only by its thread, so that
// counting costs the same with one caller or many. Threads beyond the private
// slots share the last one, which then counts with atomic increments.
struct alignas(64) Slot {
    std::atomic<long> calls[kFunctionCount];
};
constexpr std::size_t kSlots = 256;
constexpr std::size_t kSharedSlot = kSlots - 1;
Slot slots[kSlots];
std::atomic<std::size_t> slotsTaken{0};

Slot* threadSlot() {
    thread_local Slot* mine = nullptr;
    if (mine == nullptr) {
        std::size_t index = slotsTaken.fetch_add(1, std::memory_order_relaxed);
        mine = &slots[index < kSharedSlot ? index : kSharedSlot];
    }
    return mine;
}

void count(Function function) {
    Slot* slot = threadSlot();
    std::atomic<long>& counter = slot->calls[function];
    if (slot == &slots[kSharedSlot]) {
        counter.fetch_add(1, std::memory_order_relaxed);
    } else {
        counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
}

const char kReaders[] = VELK_LEAN_PCSC_READERS;  // the final NUL ends the list
const char kReaderName[] = VELK_LEAN_PCSC_READER;
const BYTE kAtr[VELK_LEAN_PCSC_ATR_LENGTH] = {0x3B, 0x80, 0x80, 0x01, 0x01};
const BYTE kResponse[VELK_LEAN_PCSC_RESPONSE_LENGTH] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x90, 0x00};
const BYTE kAttribute[4] = {0x01, 0x00, 0x00, 0x00};

// The usual PC/SC contract for an out buffer: a null buffer asks for the
// length, a short one is refused with the length needed.
LONG deliver(const void* data, DWORD size, void* buffer, LPDWORD length) {
    if (length == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    if (buffer == nullptr) {
        *length = size;
        return SCARD_S_SUCCESS;
    }
    DWORD capacity = *length;
    *length = size;
    if (capacity < size) {
        return SCARD_E_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, data, size);
    return SCARD_S_SUCCESS;
}

}  // namespace

extern "C" {

long velk_fake_pcsc_calls(const char* function) {
    for (int f = 0; f < kFunctionCount; ++f) {
        if (std::strcmp(function, kFunctionNames[f]) == 0) {
            long total = 0;
            for (const Slot& slot : slots) {
                total += slot.calls[f].load(std::memory_order_relaxed);
            }
            return total;
        }
    }
    return -1;
}

VELK_EXPORT LONG SCardEstablishContext(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT phContext) {
    count(kEstablishContext);
    if (phContext == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    *phContext = VELK_LEAN_PCSC_CONTEXT;
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardReleaseContext(SCARDCONTEXT) {
    count(kReleaseContext);
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardIsValidContext(SCARDCONTEXT) {
    count(kIsValidContext);
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardConnect(SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE phCard,
                              LPDWORD pdwActiveProtocol) {
    count(kConnect);
    if (phCard == nullptr || pdwActiveProtocol == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    *phCard = VELK_LEAN_PCSC_CARD;
    *pdwActiveProtocol = SCARD_PROTOCOL_T1;
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardReconnect(SCARDHANDLE, DWORD, DWORD, DWORD, LPDWORD pdwActiveProtocol) {
    count(kReconnect);
    if (pdwActiveProtocol != nullptr) {
        *pdwActiveProtocol = SCARD_PROTOCOL_T1;
    }
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardDisconnect(SCARDHANDLE, DWORD) {
    count(kDisconnect);
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardBeginTransaction(SCARDHANDLE) {
    count(kBeginTransaction);
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardEndTransaction(SCARDHANDLE, DWORD) {
    count(kEndTransaction);
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardStatus(SCARDHANDLE, LPSTR mszReaderName, LPDWORD pcchReaderLen,
                             LPDWORD pdwState, LPDWORD pdwProtocol, LPBYTE pbAtr,
                             LPDWORD pcbAtrLen) {
    count(kStatus);
    if (pdwState != nullptr) {
        *pdwState = SCARD_PRESENT | SCARD_POWERED | SCARD_NEGOTIABLE;
    }
    if (pdwProtocol != nullptr) {
        *pdwProtocol = SCARD_PROTOCOL_T1;
    }
    LONG rv = SCARD_S_SUCCESS;
    if (pcchReaderLen != nullptr) {
        rv = deliver(kReaderName, sizeof kReaderName, mszReaderName, pcchReaderLen);
    }
    if (rv == SCARD_S_SUCCESS && pcbAtrLen != nullptr) {
        rv = deliver(kAtr, sizeof kAtr, pbAtr, pcbAtrLen);
    }
    return rv;
}

// Answers at once: every reader has a card, and its state changed.
VELK_EXPORT LONG SCardGetStatusChange(SCARDCONTEXT, DWORD, SCARD_READERSTATE* rgReaderStates,
                                      DWORD cReaders) {
    count(kGetStatusChange);
    if (rgReaderStates == nullptr && cReaders != 0) {
        return SCARD_E_INVALID_PARAMETER;
    }
    for (DWORD i = 0; i < cReaders; ++i) {
        SCARD_READERSTATE& state = rgReaderStates[i];
        state.dwEventState = SCARD_STATE_CHANGED | SCARD_STATE_PRESENT;
        state.cbAtr = sizeof kAtr;
        std::memcpy(state.rgbAtr, kAtr, sizeof kAtr);
    }
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardControl(SCARDHANDLE, DWORD, LPCVOID, DWORD, LPVOID, DWORD,
                              LPDWORD lpBytesReturned) {
    count(kControl);
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = 0;
    }
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardTransmit(SCARDHANDLE, const SCARD_IO_REQUEST*, LPCBYTE, DWORD,
                               SCARD_IO_REQUEST*, LPBYTE pbRecvBuffer, LPDWORD pcbRecvLength) {
    count(kTransmit);
    if (pbRecvBuffer == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    return deliver(kResponse, sizeof kResponse, pbRecvBuffer, pcbRecvLength);
}

VELK_EXPORT LONG SCardListReaderGroups(SCARDCONTEXT, LPSTR mszGroups, LPDWORD pcchGroups) {
    count(kListReaderGroups);
    static const char kGroups[] = "SCard$DefaultReaders\0";
    return deliver(kGroups, sizeof kGroups, mszGroups, pcchGroups);
}

VELK_EXPORT LONG SCardListReaders(SCARDCONTEXT, LPCSTR, LPSTR mszReaders, LPDWORD pcchReaders) {
    count(kListReaders);
    return deliver(kReaders, sizeof kReaders, mszReaders, pcchReaders);
}

VELK_EXPORT LONG SCardFreeMemory(SCARDCONTEXT, LPCVOID) {
    count(kFreeMemory);
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardCancel(SCARDCONTEXT) {
    count(kCancel);
    return SCARD_S_SUCCESS;
}

VELK_EXPORT LONG SCardGetAttrib(SCARDHANDLE, DWORD, LPBYTE pbAttr, LPDWORD pcbAttrLen) {
    count(kGetAttrib);
    return deliver(kAttribute, sizeof kAttribute, pbAttr, pcbAttrLen);
}

VELK_EXPORT LONG SCardSetAttrib(SCARDHANDLE, DWORD, LPCBYTE, DWORD) {
    count(kSetAttrib);
    return SCARD_S_SUCCESS;
}

}  // extern "C"
