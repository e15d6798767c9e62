// The transmit path copies requests of up to 1 KiB without touching the heap,
// and neither does a reader control command:
// the bridge's native method runs against the fake VM and the lean PC/SC
// stand-in (which never allocates), and every allocation made during the call
// outside the fake VM's functions is the bridge's.
#include <gtest/gtest.h>
#include <jni.h>
#include <winscard.h>

#include <vector>

#include "com_vormel_kx_platform_velksmartcard_VelkSCard.h"
#include "com_vormel_kx_platform_velksmartcard_VelkSCardControl.h"
#include "fake_jni_env.h"
#include "fake_pcsc_lean.h"
#include "heap_counter.h"

namespace {

// The fake VM's function table, kept so that the wrappers below can forward.
JNINativeInterface_ vmFunctions;

// Forwards to the fake VM's function with counting paused.
template <typename Function, Function JNINativeInterface_::*Slot>
struct Paused;
template <typename Result, typename... Args, Result (JNICALL* JNINativeInterface_::*Slot)(Args...)>
struct Paused<Result(JNICALL*)(Args...), Slot> {
    static Result JNICALL call(Args... args) {
        heapcount::Pause pause;
        return (vmFunctions.*Slot)(args...);
    }
};

#define VELK_PAUSED(name) \
    table.name = Paused<decltype(table.name), &JNINativeInterface_::name>::call

class TransmitAllocations : public ::testing::Test {
  protected:
    void SetUp() override {
        vmFunctions = *vm.env()->functions;
        table = vmFunctions;
        // What the transmit path calls; anything else the bridge might call
        // is counted against it.
        VELK_PAUSED(GetArrayLength);
        VELK_PAUSED(GetByteArrayElements);
        VELK_PAUSED(ReleaseByteArrayElements);
        VELK_PAUSED(ExceptionCheck);
        VELK_PAUSED(ExceptionOccurred);
        VELK_PAUSED(ExceptionClear);
        VELK_PAUSED(NewByteArray);
        VELK_PAUSED(SetByteArrayRegion);
        vm.env()->functions = &table;
    }
    void TearDown() override {
        vm.env()->functions = &vmFunctions;
        EXPECT_TRUE(vm.problems().empty());
        EXPECT_EQ(vm.outstandingBorrows(), 0u);
    }

    // Heap allocations made while transmitting a request of this size.
    long allocationsForRequestOf(jsize size) {
        std::vector<jbyte> bytes(static_cast<size_t>(size));
        for (jsize i = 0; i < size; ++i) {
            bytes[static_cast<size_t>(i)] = static_cast<jbyte>(i);
        }
        jbyteArray request = vm.heap().newByteArray(bytes);
        long before = velk_fake_pcsc_calls("SCardTransmit");
        heapcount::start();
        jbyteArray response = Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardTransmit(
            vm.env(), nullptr, VELK_LEAN_PCSC_CARD, SCARD_PROTOCOL_T1, request);
        long allocations = heapcount::stop();
        EXPECT_EQ(vm.pending(), nullptr) << "the exchange failed";
        EXPECT_EQ(velk_fake_pcsc_calls("SCardTransmit"), before + 1);
        EXPECT_EQ(vm.bytesOf(response).size(), size_t{VELK_LEAN_PCSC_RESPONSE_LENGTH});
        return allocations;
    }

    fakejni::FakeJniEnv vm;
    JNINativeInterface_ table;
};

TEST_F(TransmitAllocations, NoneForRequestsUpToOneKibibyte) {
    for (jsize size : {0, 1, 5, 261, 1023, 1024}) {
        EXPECT_EQ(allocationsForRequestOf(size), 0) << "request of " << size << " bytes";
    }
}

TEST_F(TransmitAllocations, NoneForAReaderControlCommand) {
    jbyteArray command = vm.heap().newByteArray(std::vector<jbyte>(64, 1));
    heapcount::start();
    Java_com_vormel_kx_platform_velksmartcard_VelkSCardControl_SCardControl(
        vm.env(), nullptr, VELK_LEAN_PCSC_CARD, 0x42000000 + 3400, command);
    EXPECT_EQ(heapcount::stop(), 0);
    EXPECT_EQ(vm.pending(), nullptr);
}

// Guards the check itself: a request beyond the stack arena must be seen
// reaching the heap, or the counting saw nothing at all.
TEST_F(TransmitAllocations, LongRequestsSpillToTheHeap) {
    EXPECT_GT(allocationsForRequestOf(16 * 1024), 0);
}

}  // namespace
