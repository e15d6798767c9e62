// The twelve native methods of VelkSCard and the control call, driven through the fake VM and the
// PC/SC stand-in.
#pragma once

#include <jni.h>

#include <vector>

#include "input.h"

namespace velkfuzz {

constexpr unsigned kBridgeMethods = 13;

// What one input's calls share: handles PC/SC handed out earlier, so that
// later calls may pass them back.
struct BridgeSession {
    std::vector<jlong> handles;
};

// One call of method (below kBridgeMethods) with a fresh fake VM and a fresh
// stand-in script, then the outcome check.
void callBridge(Input& in, unsigned method, BridgeSession& session);

// Fills the bridge's class and method caches once per process, as the first
// calls of a VM would, so that every run meets them filled.
void warmBridgeCaches();

}  // namespace velkfuzz
