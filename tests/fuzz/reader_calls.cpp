#include "reader_calls.h"

#include <jni.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fake_hidapi.h"
#include "fake_jni_env.h"
#include "outcome.h"
#include "plans.h"

extern "C" {
jlong Java_velksdk_VelkReader_openImpl(JNIEnv*, jclass);
void Java_velksdk_VelkReader_closeImpl(JNIEnv*, jclass, jlong);
jboolean Java_velksdk_VelkReader_receiveW26Impl(JNIEnv*, jclass, jlong, jbyteArray);
jint Java_velksdk_VelkReader_receiveW26TImpl(JNIEnv*, jclass, jlong, jbyteArray, jint);
}

namespace velkfuzz {

namespace {

using fakejni::FakeJniEnv;

// Storing the card's bytes is the binding's only JNI call that can fail.
const FaultSite kReaderFaults[] = {{"SetByteArrayRegion", true, false, false}};

constexpr unsigned char kUntouched = 0xEE;

// One hidapi read as scripted, and what the reader must make of it.
struct Read {
    enum Kind { kFrame, kTimeout, kError } kind;
    std::vector<uint8_t> bytes;

    bool card() const { return kind == kFrame && bytes.size() == 4 && bytes[0] == 0x18; }
};

// Reads for one call, always ending in an error so that a blocking receive
// ends too.
std::vector<Read> scriptReads(Input& in) {
    std::vector<Read> reads;
    for (unsigned n = in.below(6); n > 0; --n) {
        switch (in.below(4)) {
            case 0:
                reads.push_back({Read::kTimeout, {}});
                break;
            case 1:
                reads.push_back({Read::kError, {}});
                break;
            case 2: {
                std::vector<uint8_t> frame = {0x18};
                std::vector<uint8_t> data = in.bytes(3);
                frame.insert(frame.end(), data.begin(), data.end());
                reads.push_back({Read::kFrame, frame});
                break;
            }
            default:
                reads.push_back({Read::kFrame, in.bytes(in.below(7))});
        }
    }
    reads.push_back({Read::kError, {}});
    std::string text;
    for (const Read& r : reads) {
        if (r.kind == Read::kTimeout) {
            text += "timeout;";
        } else if (r.kind == Read::kError) {
            text += "error;";
        } else {
            text += "frame";
            for (uint8_t b : r.bytes) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02x", b);
                text += hex;
            }
            text += ";";
        }
    }
    if (fakeHidSetScript(text.c_str()) == 0) {
        violation("hidapi stand-in refused script " + text);
    }
    // The stand-in hands over at most its 5-byte buffer.
    for (Read& r : reads) {
        if (r.bytes.size() > 5) {
            r.bytes.resize(5);
        }
    }
    return reads;
}

// What a reader must answer: the result of one timed receive, or of the
// blocking one, and how many reads that takes.
struct Expected {
    int timed;  // 3, 0 or -1
    bool blocking;
    int readsTimed;
    int readsBlocking;
    std::vector<uint8_t> data;  // of the card read that ends the call
};

Expected expect(const std::vector<Read>& reads) {
    Expected e{};
    const Read& first = reads.front();
    e.timed = first.kind == Read::kError ? -1 : first.card() ? 3 : 0;
    e.readsTimed = 1;
    if (e.timed == 3) {
        e.data.assign(first.bytes.begin() + 1, first.bytes.end());
    }
    for (const Read& r : reads) {
        ++e.readsBlocking;
        if (r.kind == Read::kError) {
            break;
        }
        if (r.card()) {
            e.blocking = true;
            e.data.assign(r.bytes.begin() + 1, r.bytes.end());
            break;
        }
    }
    return e;
}

void require(bool condition, const char* call, const std::string& what) {
    if (!condition) {
        violation(std::string(call) + ": " + what);
    }
}

void requireReads(const char* call, int reads) {
    require(fakeHidRecord().reads == reads, call,
            "read the device " + std::to_string(fakeHidRecord().reads) + " times, not " +
                std::to_string(reads));
}

// 0 or a reader this input opened; with remove, it leaves the books (closed).
VelkReaderHandle pickReader(Input& in, ReaderSession& session, bool remove) {
    if (session.open.empty() || in.below(4) == 0) {
        return nullptr;
    }
    size_t i = in.below(static_cast<unsigned>(session.open.size()));
    VelkReaderHandle h = session.open[i];
    if (remove) {
        session.open.erase(session.open.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return h;
}

jlong toJava(VelkReaderHandle h) { return static_cast<jlong>(reinterpret_cast<intptr_t>(h)); }

VelkReaderHandle fromJava(jlong h) {
    return reinterpret_cast<VelkReaderHandle>(static_cast<uintptr_t>(h));
}

void scriptOpen(Input& in, bool& absent) {
    absent = in.flag();
    fakeHidSetScript(absent ? "absent" : "");
}

void checkOpened(const char* call, bool absent, VelkReaderHandle h, ReaderSession& session) {
    require(fakeHidRecord().opens == 1, call, "hid_open not called once");
    require((h == nullptr) == absent, call, absent ? "opened a missing device" : "open failed");
    if (h != nullptr) {
        session.open.push_back(h);
    }
}

void openImpl(Input& in, ReaderSession& session) {
    bool absent = false;
    scriptOpen(in, absent);
    FakeJniEnv vm;
    jlong h = Java_velksdk_VelkReader_openImpl(vm.env(), nullptr);
    checkCleanVm(vm, "openImpl");
    require(vm.pending() == nullptr && vm.calls().empty(), "openImpl", "touched the VM");
    checkOpened("openImpl", absent, fromJava(h), session);
}

void closeImpl(Input& in, ReaderSession& session) {
    VelkReaderHandle h = pickReader(in, session, true);
    fakeHidSetScript("");
    FakeJniEnv vm;
    Java_velksdk_VelkReader_closeImpl(vm.env(), nullptr, toJava(h));
    checkCleanVm(vm, "closeImpl");
    require(vm.pending() == nullptr && vm.calls().empty(), "closeImpl", "touched the VM");
    require(fakeHidRecord().closes == (h != nullptr ? 1 : 0), "closeImpl", "device not closed");
}

// A Java byte[] for the card's bytes, filled with kUntouched.
jbyteArray dataArray(Input& in, FakeJniEnv& vm) {
    switch (in.below(4)) {
        case 0:
            return nullptr;
        case 1:
            return vm.heap().newByteArray(
                std::vector<jbyte>(1u << 16, static_cast<jbyte>(kUntouched)));
        default:
            return vm.heap().newByteArray(
                std::vector<jbyte>(in.below(6), static_cast<jbyte>(kUntouched)));
    }
}

// The Java side after a receive: the bytes stored exactly when a card was
// delivered (and not refused by a failing store), nothing else written, and
// at most the exception that the store left pending.
void checkJavaReceive(const char* call, FakeJniEnv& vm, jbyteArray data, bool delivered,
                      const std::vector<uint8_t>& card) {
    checkCleanVm(vm, call);
    require(vm.fatalErrors().empty(), call, "FatalError");
    bool stored = delivered && vm.pending() == nullptr;
    if (vm.pending() != nullptr) {
        fakejni::Object* t = vm.heap().find(vm.pending());
        require(delivered && t != nullptr && t->message == "scripted" &&
                    vm.count("SetByteArrayRegion") == 1,
                call, "exception pending that the store did not leave");
    }
    if (data == nullptr) {
        return;
    }
    std::vector<jbyte> bytes = vm.bytesOf(data);
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto expected = static_cast<jbyte>(stored && i < 3 ? card[i] : kUntouched);
        require(bytes[i] == expected, call, "data[" + std::to_string(i) + "] wrong");
    }
}

void receiveImpl(Input& in, ReaderSession& session, bool timed) {
    const char* call = timed ? "receiveW26TImpl" : "receiveW26Impl";
    VelkReaderHandle h = pickReader(in, session, false);
    FakeJniEnv vm;
    jbyteArray data = dataArray(in, vm);
    jint timeout = in.edgyInt();
    std::vector<Read> reads = scriptReads(in);
    scriptJniFaults(in, vm, kReaderFaults, std::size(kReaderFaults));
    Expected e = expect(reads);
    bool usable = h != nullptr && data != nullptr && vm.bytesOf(data).size() >= 3;
    bool delivered;
    if (timed) {
        jint r =
            Java_velksdk_VelkReader_receiveW26TImpl(vm.env(), nullptr, toJava(h), data, timeout);
        require(r == (usable ? e.timed : 0), call, "returned " + std::to_string(r));
        delivered = r == 3;
        requireReads(call, usable ? e.readsTimed : 0);
    } else {
        jboolean r = Java_velksdk_VelkReader_receiveW26Impl(vm.env(), nullptr, toJava(h), data);
        require(r == (usable && e.blocking ? JNI_TRUE : JNI_FALSE), call, "wrong result");
        delivered = r == JNI_TRUE;
        requireReads(call, usable ? e.readsBlocking : 0);
    }
    checkJavaReceive(call, vm, data, delivered, e.data);
}

void flatOpen(Input& in, ReaderSession& session) {
    bool absent = false;
    scriptOpen(in, absent);
    if (in.below(4) == 0) {
        require(VelkReaderOpen(nullptr) == 0, "VelkReaderOpen", "opened into no variable");
        require(fakeHidRecord().opens == 0, "VelkReaderOpen", "opened into no variable");
        return;
    }
    static char sentinel;
    auto untouched = reinterpret_cast<VelkReaderHandle>(&sentinel);
    VelkReaderHandle h = untouched;
    int r = VelkReaderOpen(&h);
    require(r == (absent ? 0 : 1), "VelkReaderOpen", "returned " + std::to_string(r));
    require(absent ? h == untouched : h != untouched && h != nullptr, "VelkReaderOpen",
            "handle variable");
    checkOpened("VelkReaderOpen", absent, r == 1 ? h : nullptr, session);
}

void flatClose(Input& in, ReaderSession& session) {
    fakeHidSetScript("");
    if (in.below(4) == 0) {
        VelkReaderClose(nullptr);
        require(fakeHidRecord().closes == 0, "VelkReaderClose", "closed without a handle");
        return;
    }
    VelkReaderHandle h = pickReader(in, session, true);
    bool had = h != nullptr;
    VelkReaderClose(&h);
    require(h == nullptr, "VelkReaderClose", "variable not cleared");
    require(fakeHidRecord().closes == (had ? 1 : 0), "VelkReaderClose", "device not closed");
}

void flatReceive(Input& in, ReaderSession& session, bool timed) {
    const char* call = timed ? "VelkReaderReceiveW26T" : "VelkReaderReceiveW26";
    VelkReaderHandle h = pickReader(in, session, false);
    int len = in.below(4) == 0 ? (in.flag() ? INT_MIN : -1) : static_cast<int>(in.below(7));
    bool outNull = in.below(6) == 0;
    // Exactly len bytes, so that the sanitizer sees any write past them.
    std::unique_ptr<unsigned char[]> out(outNull ? nullptr : new unsigned char[std::max(len, 0)]);
    std::fill(out.get(), out.get() + (outNull ? 0 : std::max(len, 0)), kUntouched);
    int timeout = in.edgyInt();
    std::vector<Read> reads = scriptReads(in);
    Expected e = expect(reads);
    bool usable = h != nullptr && !outNull && len >= 3;
    bool delivered;
    if (timed) {
        int r = VelkReaderReceiveW26T(h, out.get(), len, timeout);
        int want = h == nullptr ? 0 : usable ? e.timed : -1;
        require(r == want, call, "returned " + std::to_string(r));
        delivered = r == 3;
        requireReads(call, usable ? e.readsTimed : 0);
    } else {
        bool r = VelkReaderReceiveW26(h, out.get(), len);
        require(r == (usable && e.blocking), call, "wrong result");
        delivered = r;
        requireReads(call, usable ? e.readsBlocking : 0);
    }
    for (int i = 0; !outNull && i < len; ++i) {
        unsigned char want = delivered && i < 3 ? e.data[static_cast<size_t>(i)] : kUntouched;
        require(out[static_cast<size_t>(i)] == want, call, "out[" + std::to_string(i) + "] wrong");
    }
}

}  // namespace

void callReader(Input& in, unsigned call, ReaderSession& session) {
    switch (call % kReaderCalls) {
        case 0:
            return openImpl(in, session);
        case 1:
            return closeImpl(in, session);
        case 2:
            return receiveImpl(in, session, false);
        case 3:
            return receiveImpl(in, session, true);
        case 4:
            return flatOpen(in, session);
        case 5:
            return flatClose(in, session);
        case 6:
            return flatReceive(in, session, false);
        default:
            return flatReceive(in, session, true);
    }
}

void endReaderSession(ReaderSession& session) {
    for (VelkReaderHandle& h : session.open) {
        VelkReaderClose(&h);
    }
    session.open.clear();
    if (fakeHidRecord().liveDevices != 0) {
        violation("a hidapi device stayed open after its reader was closed");
    }
}

}  // namespace velkfuzz
