// libFuzzer entry: an input is a short sequence of calls into either library,
// each with its arguments and the failures its fakes are scripted with.
#include <cstddef>
#include <cstdint>

#include "bridge_calls.h"
#include "input.h"
#include "reader_calls.h"

namespace {
// Enough for open, a few receives and a close; more only slows each run.
constexpr int kMaxCalls = 12;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velkfuzz::warmBridgeCaches();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velkfuzz::Input in(data, size);
    velkfuzz::BridgeSession bridge;
    velkfuzz::ReaderSession reader;
    for (int i = 0; i < kMaxCalls && !in.empty(); ++i) {
        unsigned pick = in.byte() % (velkfuzz::kBridgeMethods + velkfuzz::kReaderCalls);
        if (pick < velkfuzz::kBridgeMethods) {
            velkfuzz::callBridge(in, pick, bridge);
        } else {
            velkfuzz::callReader(in, pick - velkfuzz::kBridgeMethods, reader);
        }
    }
    velkfuzz::endReaderSession(reader);
    return 0;
}
