#include "fake_pcsc.h"

#include <algorithm>
#include <cstring>
#include <new>

// The protocol control blocks of the real library, with its values.
const SCARD_IO_REQUEST g_rgSCardT0Pci = {SCARD_PROTOCOL_T0, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardT1Pci = {SCARD_PROTOCOL_T1, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardRawPci = {SCARD_PROTOCOL_RAW, sizeof(SCARD_IO_REQUEST)};

namespace fakepcsc {

FakePcsc& fake() {
    static FakePcsc instance;
    return instance;
}

void reset() { fake() = FakePcsc{}; }

namespace {

template <typename Step>
Step begin(const char* function, Script<Step>& script) {
    fake().calls.push_back(function);
    Step step = script.next();
    if (step.throwBadAlloc) {
        throw std::bad_alloc();
    }
    return step;
}

// Copies at most the caller's capacity, then reports the scripted length.
template <typename Data>
void deliver(const Data& data, std::optional<DWORD> reported, void* buffer, LPDWORD length) {
    if (length == nullptr) {
        return;
    }
    if (buffer != nullptr) {
        size_t n = std::min(static_cast<size_t>(*length), data.size());
        if (n != 0) {
            std::memcpy(buffer, data.data(), n);
        }
    }
    *length = reported.value_or(static_cast<DWORD>(data.size()));
}

}  // namespace

}  // namespace fakepcsc

using namespace fakepcsc;

extern "C" {

LONG SCardEstablishContext(DWORD dwScope, LPCVOID pvReserved1, LPCVOID pvReserved2,
                           LPSCARDCONTEXT phContext) {
    fake().establishCalls.push_back({dwScope, pvReserved1, pvReserved2, phContext == nullptr});
    EstablishStep step = begin("SCardEstablishContext", fake().establish);
    if (phContext != nullptr) {
        *phContext = step.context;
    }
    return step.rv;
}

LONG SCardReleaseContext(SCARDCONTEXT hContext) {
    fake().releaseCalls.push_back({hContext});
    return begin("SCardReleaseContext", fake().release).rv;
}

LONG SCardListReaders(SCARDCONTEXT hContext, LPCSTR mszGroups, LPSTR mszReaders,
                      LPDWORD pcchReaders) {
    fake().listReadersCalls.push_back({hContext, mszGroups == nullptr, mszReaders == nullptr,
                                       pcchReaders == nullptr,
                                       pcchReaders != nullptr ? *pcchReaders : 0});
    ListReadersStep step = begin("SCardListReaders", fake().listReaders);
    deliver(step.readers, step.reportedLength, mszReaders, pcchReaders);
    return step.rv;
}

LONG SCardConnect(SCARDCONTEXT hContext, LPCSTR szReader, DWORD dwShareMode,
                  DWORD dwPreferredProtocols, LPSCARDHANDLE phCard, LPDWORD pdwActiveProtocol) {
    std::optional<std::string> reader;
    if (szReader != nullptr) {
        reader = szReader;
    }
    fake().connectCalls.push_back({hContext, reader, dwShareMode, dwPreferredProtocols,
                                   phCard == nullptr, pdwActiveProtocol == nullptr});
    ConnectStep step = begin("SCardConnect", fake().connect);
    if (phCard != nullptr) {
        *phCard = step.card;
    }
    if (pdwActiveProtocol != nullptr) {
        *pdwActiveProtocol = step.activeProtocol;
    }
    return step.rv;
}

LONG SCardReconnect(SCARDHANDLE hCard, DWORD dwShareMode, DWORD dwPreferredProtocols,
                    DWORD dwInitialization, LPDWORD pdwActiveProtocol) {
    fake().reconnectCalls.push_back(
        {hCard, dwShareMode, dwPreferredProtocols, dwInitialization, pdwActiveProtocol == nullptr});
    ReconnectStep step = begin("SCardReconnect", fake().reconnect);
    if (pdwActiveProtocol != nullptr) {
        *pdwActiveProtocol = step.activeProtocol;
    }
    return step.rv;
}

LONG SCardDisconnect(SCARDHANDLE hCard, DWORD dwDisposition) {
    fake().disconnectCalls.push_back({hCard, dwDisposition});
    return begin("SCardDisconnect", fake().disconnect).rv;
}

LONG SCardBeginTransaction(SCARDHANDLE hCard) {
    fake().beginTransactionCalls.push_back({hCard});
    return begin("SCardBeginTransaction", fake().beginTransaction).rv;
}

LONG SCardEndTransaction(SCARDHANDLE hCard, DWORD dwDisposition) {
    fake().endTransactionCalls.push_back({hCard, dwDisposition});
    return begin("SCardEndTransaction", fake().endTransaction).rv;
}

LONG SCardStatus(SCARDHANDLE hCard, LPSTR mszReaderName, LPDWORD pcchReaderLen, LPDWORD pdwState,
                 LPDWORD pdwProtocol, LPBYTE pbAtr, LPDWORD pcbAtrLen) {
    fake().statusCalls.push_back({hCard, mszReaderName == nullptr,
                                  pcchReaderLen != nullptr ? *pcchReaderLen : 0,
                                  pdwState == nullptr, pdwProtocol == nullptr, pbAtr == nullptr,
                                  pcbAtrLen != nullptr ? *pcbAtrLen : 0});
    StatusStep step = begin("SCardStatus", fake().status);
    std::string name(step.readerName.c_str(), step.readerName.size() + 1);
    deliver(name, std::nullopt, mszReaderName, pcchReaderLen);
    if (pdwState != nullptr) {
        *pdwState = step.state;
    }
    if (pdwProtocol != nullptr) {
        *pdwProtocol = step.protocol;
    }
    deliver(step.atr, step.reportedAtrLength, pbAtr, pcbAtrLen);
    return step.rv;
}

LONG SCardGetStatusChange(SCARDCONTEXT hContext, DWORD dwTimeout, SCARD_READERSTATE* rgReaderStates,
                          DWORD cReaders) {
    StatusChangeCall call{hContext, dwTimeout, rgReaderStates, cReaders, {}};
    for (DWORD i = 0; rgReaderStates != nullptr && i < cReaders; ++i) {
        const SCARD_READERSTATE& s = rgReaderStates[i];
        std::optional<std::string> reader;
        if (s.szReader != nullptr) {
            reader = s.szReader;
        }
        call.readers.push_back({reader, s.pvUserData, s.dwCurrentState, s.dwEventState, s.cbAtr});
    }
    fake().statusChangeCalls.push_back(std::move(call));
    StatusChangeStep step = begin("SCardGetStatusChange", fake().statusChange);
    for (size_t i = 0; rgReaderStates != nullptr && i < cReaders && i < step.eventStates.size();
         ++i) {
        rgReaderStates[i].dwEventState = step.eventStates[i];
    }
    return step.rv;
}

LONG SCardTransmit(SCARDHANDLE hCard, const SCARD_IO_REQUEST* pioSendPci, LPCBYTE pbSendBuffer,
                   DWORD cbSendLength, SCARD_IO_REQUEST* pioRecvPci, LPBYTE pbRecvBuffer,
                   LPDWORD pcbRecvLength) {
    TransmitCall call{hCard,
                      pioSendPci,
                      std::nullopt,
                      pbSendBuffer,
                      {},
                      cbSendLength,
                      pioRecvPci,
                      pbRecvBuffer == nullptr,
                      pcbRecvLength != nullptr ? *pcbRecvLength : 0};
    if (pioSendPci != nullptr) {
        call.sendPciValue = *pioSendPci;
    }
    if (pbSendBuffer != nullptr) {
        call.request.assign(pbSendBuffer, pbSendBuffer + cbSendLength);
    }
    fake().transmitCalls.push_back(std::move(call));
    TransmitStep step = begin("SCardTransmit", fake().transmit);
    deliver(step.response, step.reportedLength, pbRecvBuffer, pcbRecvLength);
    return step.rv;
}

LONG SCardControl(SCARDHANDLE hCard, DWORD dwControlCode, LPCVOID pbSendBuffer, DWORD cbSendLength,
                  LPVOID pbRecvBuffer, DWORD cbRecvLength, LPDWORD lpBytesReturned) {
    ControlCall call{
        hCard,        dwControlCode,           pbSendBuffer, {},
        cbSendLength, pbRecvBuffer == nullptr, cbRecvLength, lpBytesReturned == nullptr};
    if (pbSendBuffer != nullptr) {
        const auto* bytes = static_cast<const BYTE*>(pbSendBuffer);
        call.command.assign(bytes, bytes + cbSendLength);
    }
    fake().controlCalls.push_back(std::move(call));
    ControlStep step = begin("SCardControl", fake().control);
    // Like pcsc-lite: the length always, the bytes only if they fit.
    DWORD length = step.reportedLength.value_or(static_cast<DWORD>(step.answer.size()));
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = length;
    }
    if (pbRecvBuffer != nullptr && step.answer.size() <= cbRecvLength) {
        std::copy(step.answer.begin(), step.answer.end(), static_cast<BYTE*>(pbRecvBuffer));
    }
    return step.rv;
}

LONG SCardGetAttrib(SCARDHANDLE hCard, DWORD dwAttrId, LPBYTE pbAttr, LPDWORD pcbAttrLen) {
    fake().getAttribCalls.push_back(
        {hCard, dwAttrId, pbAttr == nullptr, pcbAttrLen != nullptr ? *pcbAttrLen : 0});
    GetAttribStep step = begin("SCardGetAttrib", fake().getAttrib);
    deliver(step.value, step.reportedLength, pbAttr, pcbAttrLen);
    return step.rv;
}

}  // extern "C"
