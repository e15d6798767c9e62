// A scriptable stand-in for the PC/SC lite client library. Test builds link it
// in place of libpcsclite: it defines the functions and protocol control
// blocks of <winscard.h>, answers each call from a per-function script and
// records what it received. No test framework here, so that it can also be
// built as a shared library.
#pragma once

#include <winscard.h>

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace fakepcsc {

// Scripted answers of one function: queued steps are used one per call, then
// the fallback for every further call. Every out value a step names is
// written, whatever the return code; data never goes past the length the
// caller passed, even when the reported length is larger.
template <typename Step>
struct Script {
    std::deque<Step> queue;
    Step fallback;

    void push(Step step) { queue.push_back(std::move(step)); }
    // The same step for every call, queued or not.
    void always(Step step) {
        queue.clear();
        fallback = std::move(step);
    }
    Step next() {
        if (queue.empty()) {
            return fallback;
        }
        Step step = std::move(queue.front());
        queue.pop_front();
        return step;
    }
};

// Common to every step: the return code, and whether the call throws
// std::bad_alloc instead of returning (to drive the bridge's catch-alls).
struct Result {
    LONG rv = SCARD_S_SUCCESS;
    bool throwBadAlloc = false;
};

struct EstablishStep : Result {
    SCARDCONTEXT context = 0x0C0FFEE;
};
struct ListReadersStep : Result {
    std::string readers;                  // the multi-string, final NUL included
    std::optional<DWORD> reportedLength;  // default: readers.size()
};
struct ConnectStep : Result {
    SCARDHANDLE card = 0xCA4D;
    DWORD activeProtocol = SCARD_PROTOCOL_T1;
};
struct ReconnectStep : Result {
    DWORD activeProtocol = SCARD_PROTOCOL_T1;
};
struct StatusStep : Result {
    std::string readerName = "Fake Reader 00 00";
    DWORD state = SCARD_PRESENT | SCARD_POWERED | SCARD_NEGOTIABLE;
    DWORD protocol = SCARD_PROTOCOL_T1;
    std::vector<BYTE> atr = {0x3B, 0x80, 0x80, 0x01, 0x01};
    std::optional<DWORD> reportedAtrLength;  // default: atr.size()
};
struct StatusChangeStep : Result {
    std::vector<DWORD> eventStates;  // written to the first records, in order
};
struct TransmitStep : Result {
    std::vector<BYTE> response = {0x90, 0x00};
    std::optional<DWORD> reportedLength;  // default: response.size()
};
struct ControlStep : Result {
    std::vector<BYTE> answer;
    std::optional<DWORD> reportedLength;  // default: answer.size()
};
struct GetAttribStep : Result {
    std::vector<BYTE> value;
    std::optional<DWORD> reportedLength;  // default: value.size()
};

// What each call received.
struct EstablishCall {
    DWORD scope;
    const void* reserved1;
    const void* reserved2;
    bool contextOutNull;
};
struct HandleCall {  // SCardReleaseContext, SCardBeginTransaction
    LONG handle;
};
struct HandleDispositionCall {  // SCardDisconnect, SCardEndTransaction
    SCARDHANDLE card;
    DWORD disposition;
};
struct ListReadersCall {
    SCARDCONTEXT context;
    bool groupsNull;
    bool bufferNull;
    bool lengthNull;
    DWORD lengthIn;
};
struct ConnectCall {
    SCARDCONTEXT context;
    std::optional<std::string> reader;  // nullopt for a null name
    DWORD shareMode;
    DWORD preferredProtocols;
    bool cardOutNull;
    bool protocolOutNull;
};
struct ReconnectCall {
    SCARDHANDLE card;
    DWORD shareMode;
    DWORD preferredProtocols;
    DWORD initialization;
    bool protocolOutNull;
};
struct StatusCall {
    SCARDHANDLE card;
    bool nameBufferNull;
    DWORD nameLengthIn;
    bool stateOutNull;
    bool protocolOutNull;
    bool atrBufferNull;
    DWORD atrLengthIn;
};
struct ReaderStateIn {
    std::optional<std::string> reader;
    const void* userData;
    DWORD currentState;
    DWORD eventState;
    DWORD atrLength;
};
struct StatusChangeCall {
    SCARDCONTEXT context;
    DWORD timeout;
    const SCARD_READERSTATE* states;
    DWORD count;
    std::vector<ReaderStateIn> readers;
};
struct TransmitCall {
    SCARDHANDLE card;
    const SCARD_IO_REQUEST* sendPci;
    std::optional<SCARD_IO_REQUEST> sendPciValue;
    const BYTE* sendBuffer;
    std::vector<BYTE> request;  // the sendLength bytes at sendBuffer
    DWORD sendLength;
    const SCARD_IO_REQUEST* recvPci;
    bool recvBufferNull;
    DWORD recvLengthIn;
};
struct ControlCall {
    SCARDHANDLE card;
    DWORD controlCode;
    const void* sendBuffer;
    std::vector<BYTE> command;  // the sendLength bytes at sendBuffer
    DWORD sendLength;
    bool recvBufferNull;
    DWORD recvLength;
    bool returnedNull;
};
struct GetAttribCall {
    SCARDHANDLE card;
    DWORD attrId;
    bool bufferNull;
    DWORD lengthIn;
};

struct FakePcsc {
    Script<EstablishStep> establish;
    Script<Result> release;
    Script<ListReadersStep> listReaders;
    Script<ConnectStep> connect;
    Script<ReconnectStep> reconnect;
    Script<Result> disconnect;
    Script<Result> beginTransaction;
    Script<Result> endTransaction;
    Script<StatusStep> status;
    Script<StatusChangeStep> statusChange;
    Script<TransmitStep> transmit;
    Script<ControlStep> control;
    Script<GetAttribStep> getAttrib;

    std::vector<EstablishCall> establishCalls;
    std::vector<HandleCall> releaseCalls;
    std::vector<ListReadersCall> listReadersCalls;
    std::vector<ConnectCall> connectCalls;
    std::vector<ReconnectCall> reconnectCalls;
    std::vector<HandleDispositionCall> disconnectCalls;
    std::vector<HandleCall> beginTransactionCalls;
    std::vector<HandleDispositionCall> endTransactionCalls;
    std::vector<StatusCall> statusCalls;
    std::vector<StatusChangeCall> statusChangeCalls;
    std::vector<TransmitCall> transmitCalls;
    std::vector<ControlCall> controlCalls;
    std::vector<GetAttribCall> getAttribCalls;

    // Every PC/SC function called, by name, in order.
    std::vector<std::string> calls;
};

// The process-wide stand-in. Not synchronised: tests drive it from one thread.
FakePcsc& fake();
// Forgets every script and record.
void reset();

}  // namespace fakepcsc
