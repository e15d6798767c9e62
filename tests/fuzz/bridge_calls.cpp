#include "bridge_calls.h"

#include <winscard.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"
#include "com_vormel_kx_platform_velksmartcard_VelkSCardControl.h"
#include "fake_jni_env.h"
#include "fake_pcsc.h"
#include "jni/jni_support.h"
#include "outcome.h"
#include "plans.h"

namespace velkfuzz {

namespace {

using fakejni::FakeJniEnv;
using fakepcsc::fake;

const FaultSite kBridgeFaults[] = {
    {"ExceptionCheck", true, false, false},  // an asynchronous exception
    {"NewObject", true, true, false},
    {"Throw", false, false, true},
    {"ThrowNew", false, false, true},
    {"NewStringUTF", true, true, false},
    {"GetStringUTFChars", true, true, false},
    {"NewObjectArray", true, true, false},
    {"GetObjectArrayElement", true, true, false},
    {"SetObjectArrayElement", true, false, false},
    {"NewByteArray", true, true, false},
    {"NewIntArray", true, true, false},
    {"GetByteArrayElements", true, true, false},
    {"GetIntArrayElements", true, true, false},
    {"SetByteArrayRegion", true, false, false},
    {"SetIntArrayRegion", true, false, false},
};

constexpr LONG kUnsupportedFeature = static_cast<LONG>(0x8010001F);

DWORD dwordOf(jint value) { return static_cast<DWORD>(static_cast<uint32_t>(value)); }

bool sameCode(LONG a, LONG b) { return static_cast<uint32_t>(a) == static_cast<uint32_t>(b); }

LONG pickRv(Input& in) {
    switch (in.below(12)) {
        case 6:
            return SCARD_E_NO_READERS_AVAILABLE;
        case 7:
            return SCARD_E_TIMEOUT;
        case 8:
            return kUnsupportedFeature;
        case 9:
            return SCARD_E_INSUFFICIENT_BUFFER;
        case 10:
            return static_cast<LONG>(0x80100001u + in.below(0x70));
        case 11:
            return static_cast<LONG>(in.u32());
        default:
            return SCARD_S_SUCCESS;
    }
}

// Lengths whose buffer cannot be had on this width: one that only the two
// spare bytes of the reader list push past the address space, and one past
// the largest array. Never one whose buffer would merely be gigabytes.
constexpr DWORD kUnallocatable[] = {static_cast<DWORD>(SIZE_MAX - 1),
                                    static_cast<DWORD>(SIZE_MAX / 2 + 1)};

// A length reported back by PC/SC: the true one, one off, or one no buffer
// can hold.
std::optional<DWORD> pickLength(Input& in, size_t actual) {
    switch (in.below(10)) {
        case 4:
            return static_cast<DWORD>(actual + 1);
        case 5:
            return static_cast<DWORD>(actual != 0 ? actual - 1 : 0);
        case 6:
            return kUnallocatable[0];
        case 7:
            return kUnallocatable[1];
        case 8:
            return static_cast<DWORD>(-1);  // all bits, whatever the width
        case 9:
            return static_cast<DWORD>(in.u16());
        default:
            return std::nullopt;
    }
}

std::vector<BYTE> pickData(Input& in, size_t bigBase) {
    if (in.below(4) == 0) {
        return std::vector<BYTE>(bigBase + in.below(200), in.byte());
    }
    return in.bytes(in.below(48));
}

// Queues up to two steps and a fallback; each call of the function takes one.
template <typename Step, typename Fill>
void scriptSteps(Input& in, fakepcsc::Script<Step>& script, bool mayThrow, Fill fill) {
    auto make = [&] {
        Step step;
        step.rv = pickRv(in);
        step.throwBadAlloc = mayThrow && in.below(16) == 0;
        fill(step);
        return step;
    };
    for (unsigned n = in.below(3); n > 0; --n) {
        script.push(make());
    }
    script.fallback = make();
}

// The steps the first n calls took from script (as it was before them).
template <typename Step>
std::vector<Step> stepsTaken(const fakepcsc::Script<Step>& script, size_t n) {
    std::vector<Step> taken;
    for (size_t i = 0; i < n; ++i) {
        taken.push_back(i < script.queue.size() ? script.queue[i] : script.fallback);
    }
    return taken;
}

jlong pickHandle(Input& in, const BridgeSession& session) {
    if (!session.handles.empty() && in.flag()) {
        return session.handles[in.below(static_cast<unsigned>(session.handles.size()))];
    }
    return in.edgyLong();
}

void noStep(fakepcsc::Result&) {}

bool normal(FakeJniEnv& vm) { return vm.pending() == nullptr && vm.fatalErrors().empty(); }

void require(bool condition, const char* method, const char* what) {
    if (!condition) {
        violation(std::string(method) + ": " + what);
    }
}

// A byte[] result holds the reported length, beginning with what PC/SC wrote
// (bytes past that are whatever the buffer held).
// Whether PC/SC got the Java array's bytes.
bool sameBytes(const std::vector<jbyte>& sent, const std::vector<BYTE>& got) {
    return sent.size() == got.size() &&
           std::equal(sent.begin(), sent.end(), got.begin(),
                      [](jbyte a, BYTE b) { return static_cast<BYTE>(a) == b; });
}

void requireBytes(FakeJniEnv& vm, jbyteArray r, const std::vector<BYTE>& data,
                  std::optional<DWORD> reported, const char* method) {
    std::vector<jbyte> got = vm.bytesOf(r);
    require(got.size() == reported.value_or(static_cast<DWORD>(data.size())), method,
            "result length is not the reported one");
    for (size_t i = 0; i < got.size() && i < data.size(); ++i) {
        require(got[i] == static_cast<jbyte>(data[i]), method, "result bytes differ");
    }
}

std::string readerList(Input& in) {
    if (in.flag()) {
        std::vector<uint8_t> raw = in.bytes(in.below(64));
        return std::string(raw.begin(), raw.end());  // NULs anywhere, or none
    }
    std::string list;
    for (unsigned n = in.below(5); n > 0; --n) {
        list += "Reader " + std::to_string(in.byte()) + '\0';
    }
    return list + '\0';
}

#define BRIDGE(name) Java_com_vormel_kx_platform_velksmartcard_VelkSCard_##name

void establish(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jint scope = in.edgyInt();
    scriptSteps(in, fake().establish, true, [&](fakepcsc::EstablishStep& s) {
        if (in.flag()) {
            s.context = static_cast<SCARDCONTEXT>(in.edgyLong());
        }
    });
    auto script = fake().establish;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jlong r = BRIDGE(SCardEstablishContext)(vm.env(), nullptr, scope);
    auto taken = stepsTaken(script, 1);
    checkBridgeOutcome(vm, "SCardEstablishContext", r == -1, taken[0].context == -1);
    if (vm.pending() == nullptr && vm.fatalErrors().empty()) {
        session.handles.push_back(r);
    }
}

void release(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong context = pickHandle(in, session);
    scriptSteps(in, fake().release, true, noStep);
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    BRIDGE(SCardReleaseContext)(vm.env(), nullptr, context);
    checkBridgeOutcome(vm, "SCardReleaseContext", true, true);
}

void listReaders(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong context = pickHandle(in, session);
    scriptSteps(in, fake().listReaders, true, [&](fakepcsc::ListReadersStep& s) {
        s.readers = readerList(in);
        s.reportedLength = pickLength(in, s.readers.size());
    });
    auto script = fake().listReaders;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jobjectArray r = BRIDGE(SCardListReaders)(vm.env(), nullptr, context);
    bool noReaders = false;
    for (const auto& step : stepsTaken(script, fake().listReadersCalls.size())) {
        noReaders = noReaders || sameCode(step.rv, SCARD_E_NO_READERS_AVAILABLE);
    }
    checkBridgeOutcome(vm, "SCardListReaders", r == nullptr, noReaders);
    if (!normal(vm) || r == nullptr) {
        return;
    }
    // The names are the list as far as the first call's length, split at NULs
    // up to the first empty name.
    auto taken = stepsTaken(script, 2);
    std::string list = taken[1].readers.substr(
        0, taken[0].reportedLength.value_or(static_cast<DWORD>(taken[0].readers.size())));
    size_t at = 0;
    for (jobject name : vm.elementsOf(r)) {
        size_t end = list.find('\0', at);
        std::string expected = list.substr(at, end == std::string::npos ? end : end - at);
        require(!expected.empty() && vm.heap().find(name) != nullptr &&
                    vm.heap().find(name)->utf == expected,
                "SCardListReaders", "names differ from the list");
        at = end == std::string::npos ? list.size() : end + 1;
    }
    require(at >= list.size() || list[at] == '\0', "SCardListReaders", "names missing");
}

void connect(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong context = pickHandle(in, session);
    jstring reader = javaString(in, vm);
    jint share = in.edgyInt();
    jint preferred = in.edgyInt();
    jintArray active = javaInts(in, vm);
    scriptSteps(in, fake().connect, true, [&](fakepcsc::ConnectStep& s) {
        if (in.flag()) {
            s.card = static_cast<SCARDHANDLE>(in.edgyLong());
        }
        s.activeProtocol = static_cast<DWORD>(static_cast<uint32_t>(in.edgyInt()));
    });
    // Called from a cleanup path: a C library never throws there.
    scriptSteps(in, fake().disconnect, false, noStep);
    auto script = fake().connect;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jlong r = BRIDGE(SCardConnect)(vm.env(), nullptr, context, reader, share, preferred, active);
    if (fake().connectCalls.empty()) {
        checkBridgeOutcome(vm, "SCardConnect", r == -1, false);
        return;
    }
    fakepcsc::ConnectStep step = stepsTaken(script, 1)[0];
    checkBridgeOutcome(vm, "SCardConnect", r == -1, step.card == -1);
    bool normal = vm.pending() == nullptr && vm.fatalErrors().empty();
    if (step.rv != SCARD_S_SUCCESS || step.throwBadAlloc) {
        return;
    }
    if (normal) {
        if (r != static_cast<jlong>(step.card) ||
            vm.intsOf(active).at(0) != static_cast<jint>(step.activeProtocol)) {
            violation("SCardConnect: handle or protocol not handed to Java");
        }
        session.handles.push_back(r);
        return;
    }
    // A connection Java never got must not stay open.
    bool closed = false;
    for (const auto& call : fake().disconnectCalls) {
        closed = closed || call.card == step.card;
    }
    if (!closed) {
        violation("SCardConnect: failed after connecting and left the connection open");
    }
}

void reconnect(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    jint share = in.edgyInt();
    jint preferred = in.edgyInt();
    jint initialization = in.edgyInt();
    jintArray active = javaInts(in, vm);
    scriptSteps(in, fake().reconnect, true, [&](fakepcsc::ReconnectStep& s) {
        s.activeProtocol = static_cast<DWORD>(static_cast<uint32_t>(in.edgyInt()));
    });
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    BRIDGE(SCardReconnect)(vm.env(), nullptr, card, share, preferred, initialization, active);
    checkBridgeOutcome(vm, "SCardReconnect", true, true);
}

void disconnect(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    jint disposition = in.edgyInt();
    scriptSteps(in, fake().disconnect, true, noStep);
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    BRIDGE(SCardDisconnect)(vm.env(), nullptr, card, disposition);
    checkBridgeOutcome(vm, "SCardDisconnect", true, true);
}

void beginTransaction(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    scriptSteps(in, fake().beginTransaction, true, noStep);
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    BRIDGE(SCardBeginTransaction)(vm.env(), nullptr, card);
    checkBridgeOutcome(vm, "SCardBeginTransaction", true, true);
}

void endTransaction(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    jint disposition = in.edgyInt();
    scriptSteps(in, fake().endTransaction, true, noStep);
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    BRIDGE(SCardEndTransaction)(vm.env(), nullptr, card, disposition);
    checkBridgeOutcome(vm, "SCardEndTransaction", true, true);
}

void getStatusChange(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong context = pickHandle(in, session);
    jlong timeout = in.edgyLong();
    jintArray states = javaInts(in, vm);
    jsize n = states != nullptr ? static_cast<jsize>(vm.heap().find(states)->ints.size()) : 0;
    jobjectArray names = javaStrings(in, vm, n);
    scriptSteps(in, fake().statusChange, true, [&](fakepcsc::StatusChangeStep& s) {
        for (unsigned k = in.below(7); k > 0; --k) {
            s.eventStates.push_back(static_cast<DWORD>(static_cast<uint32_t>(in.edgyInt())));
        }
    });
    auto script = fake().statusChange;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jintArray r = BRIDGE(SCardGetStatusChange)(vm.env(), nullptr, context, timeout, states, names);
    checkBridgeOutcome(vm, "SCardGetStatusChange", r == nullptr, false);
    if (!normal(vm)) {
        return;
    }
    const char* method = "SCardGetStatusChange";
    const fakepcsc::StatusChangeCall& call = fake().statusChangeCalls.at(0);
    std::vector<jint> current = vm.intsOf(states);
    std::vector<jobject> readers = vm.elementsOf(names);
    require(call.count == current.size() && call.readers.size() == current.size(), method,
            "reader count");
    for (size_t i = 0; i < call.readers.size(); ++i) {
        require(call.readers[i].currentState == dwordOf(current[i]) &&
                    call.readers[i].reader == vm.heap().find(readers[i])->utf,
                method, "reader state or name not passed on");
    }
    fakepcsc::StatusChangeStep step = stepsTaken(script, 1)[0];
    if (sameCode(step.rv, SCARD_E_TIMEOUT)) {
        require(r == states, method, "timeout did not give back the current states");
        return;
    }
    std::vector<jint> events = vm.intsOf(r);
    require(events.size() == current.size(), method, "result length");
    for (size_t i = 0; i < events.size(); ++i) {
        DWORD expected = i < step.eventStates.size() ? step.eventStates[i] : 0;
        require(events[i] == static_cast<jint>(expected), method, "event states differ");
    }
}

void status(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    jintArray state = javaInts(in, vm);
    scriptSteps(in, fake().status, true, [&](fakepcsc::StatusStep& s) {
        if (in.flag()) {
            s.readerName.assign(in.below(4) == 0 ? 300 : in.below(20), 'R');
        }
        s.state = static_cast<DWORD>(static_cast<uint32_t>(in.edgyInt()));
        s.atr = pickData(in, 30);
        s.reportedAtrLength = pickLength(in, s.atr.size());
    });
    auto script = fake().status;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jbyteArray r = BRIDGE(SCardStatus)(vm.env(), nullptr, card, state);
    checkBridgeOutcome(vm, "SCardStatus", r == nullptr, false);
    if (normal(vm)) {
        fakepcsc::StatusStep step = stepsTaken(script, 1)[0];
        require(vm.intsOf(state).at(0) == static_cast<jint>(step.state), "SCardStatus",
                "state not stored");
        requireBytes(vm, r, step.atr, step.reportedAtrLength, "SCardStatus");
    }
}

void transmit(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    jint protocol = in.flag() ? static_cast<jint>(1 + in.below(2)) : in.edgyInt();
    jbyteArray request = javaBytes(in, vm);
    scriptSteps(in, fake().transmit, true, [&](fakepcsc::TransmitStep& s) {
        s.response = pickData(in, 1000);
        s.reportedLength = pickLength(in, s.response.size());
    });
    auto script = fake().transmit;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jbyteArray r = BRIDGE(SCardTransmit)(vm.env(), nullptr, card, protocol, request);
    checkBridgeOutcome(vm, "SCardTransmit", r == nullptr, false);
    if (normal(vm)) {
        const fakepcsc::TransmitCall& call = fake().transmitCalls.at(0);
        require(sameBytes(vm.bytesOf(request), call.request), "SCardTransmit",
                "request not passed on");
        require(call.sendPciValue && call.sendPciValue->dwProtocol == dwordOf(protocol),
                "SCardTransmit", "send protocol");
        fakepcsc::TransmitStep step = stepsTaken(script, 1)[0];
        requireBytes(vm, r, step.response, step.reportedLength, "SCardTransmit");
    }
}

void getAttr(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    jint attribute = in.edgyInt();
    scriptSteps(in, fake().getAttrib, true, [&](fakepcsc::GetAttribStep& s) {
        s.value = pickData(in, 2000);
        s.reportedLength = pickLength(in, s.value.size());
    });
    auto script = fake().getAttrib;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jbyteArray r = BRIDGE(SCardGetAttr)(vm.env(), nullptr, card, attribute);
    bool unsupported = !fake().getAttribCalls.empty() &&
                       sameCode(stepsTaken(script, 1)[0].rv, kUnsupportedFeature);
    checkBridgeOutcome(vm, "SCardGetAttr", r == nullptr, unsupported);
    if (normal(vm) && r != nullptr) {
        fakepcsc::GetAttribStep step = stepsTaken(script, 2)[1];
        requireBytes(vm, r, step.value, step.reportedLength, "SCardGetAttr");
    }
}

// Answers up to pcsc-lite's largest, with the reported length around it.
void control(Input& in, FakeJniEnv& vm, BridgeSession& session) {
    jlong card = pickHandle(in, session);
    jint code = in.edgyInt();
    jbyteArray command = javaBytes(in, vm);
    scriptSteps(in, fake().control, true, [&](fakepcsc::ControlStep& s) {
        s.answer = pickData(in, 1000);
        s.reportedLength = in.flag()
                               ? std::optional<DWORD>(MAX_BUFFER_SIZE_EXTENDED + in.below(3) - 1)
                               : pickLength(in, s.answer.size());
    });
    auto script = fake().control;
    scriptJniFaults(in, vm, kBridgeFaults, std::size(kBridgeFaults));
    jbyteArray r = Java_com_vormel_kx_platform_velksmartcard_VelkSCardControl_SCardControl(
        vm.env(), nullptr, card, code, command);
    checkBridgeOutcome(vm, "SCardControl", r == nullptr, false);
    if (normal(vm)) {
        const fakepcsc::ControlCall& call = fake().controlCalls.at(0);
        require(sameBytes(vm.bytesOf(command), call.command), "SCardControl",
                "command not passed on");
        require(call.controlCode == dwordOf(code), "SCardControl", "control code");
        fakepcsc::ControlStep step = stepsTaken(script, 1)[0];
        requireBytes(vm, r, step.answer, step.reportedLength, "SCardControl");
    }
}

#undef BRIDGE

using Method = void (*)(Input&, FakeJniEnv&, BridgeSession&);
const Method kMethods[kBridgeMethods] = {
    establish,      release,         listReaders, connect,  reconnect, disconnect, beginTransaction,
    endTransaction, getStatusChange, status,      transmit, getAttr,   control,
};

}  // namespace

void callBridge(Input& in, unsigned method, BridgeSession& session) {
    fakepcsc::reset();
    FakeJniEnv vm;
    kMethods[method % kBridgeMethods](in, vm, session);
}

void warmBridgeCaches() {
    FakeJniEnv vm;
    jclass fatal = velk::getJavaClass(vm.env(), velk::velkCardFatalExceptionClassName);
    velk::getJavaMethod(vm.env(), fatal, velk::initMethodName,
                        velk::velkCardFatalExceptionInitSignature);
    velk::getJavaClass(vm.env(), velk::velkCardExceptionClassName);
    velk::getJavaClass(vm.env(), velk::javaStringClassName);
}

}  // namespace velkfuzz
