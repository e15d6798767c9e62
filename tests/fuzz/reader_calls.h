// The four native methods of velksdk.VelkReader and the four flat functions,
// driven through the fake VM and the scripted hidapi stand-in.
#pragma once

#include <vector>

#include "input.h"
#include "velkreader.h"

namespace velkfuzz {

constexpr unsigned kReaderCalls = 8;

// Readers opened by one input and not yet closed. Only these (and 0) are
// ever passed back: any other value is freed memory.
struct ReaderSession {
    std::vector<VelkReaderHandle> open;
};

void callReader(Input& in, unsigned call, ReaderSession& session);

// Closes what the input left open and checks that no device stayed open.
void endReaderSession(ReaderSession& session);

}  // namespace velkfuzz
