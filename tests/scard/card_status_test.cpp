// Card status: the state word in element 0, the ATR as the result.
#include <gtest/gtest.h>

#include "bridge_test.h"
#include "errors/guard_sites.h"

namespace velktest {
namespace {

class CardStatus : public BridgeTest {
  protected:
    jbyteArray status(fakejni::FakeJniEnv& on, jlong card, jintArray state) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardStatus(on.env(), nullptr,
                                                                               card, state);
    }
    jbyteArray status(jlong card, jintArray state) { return status(vm, card, state); }
};

TEST_F(CardStatus, StateInElementZeroAndAtrAsResult) {
    fakepcsc::StatusStep step;
    step.state = 0x80000034u;
    step.atr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F};
    pcsc().status.push(step);
    jintArray state = vm.heap().newIntArray({1, 2, 3});
    jbyteArray atr = status(0x77, state);
    expectNoException();
    EXPECT_EQ(vm.intsOf(state), (std::vector<jint>{static_cast<jint>(0x80000034u), 2, 3}));
    EXPECT_EQ(vm.bytesOf(atr), (std::vector<jbyte>{0x3B, -0x71, -0x80, 0x01, -0x80, 0x4F}));
    const auto& call = pcsc().statusCalls.at(0);
    EXPECT_EQ(call.card, 0x77);
    EXPECT_FALSE(call.nameBufferNull);
    EXPECT_EQ(call.nameLengthIn, 256u);
    EXPECT_FALSE(call.stateOutNull);
    EXPECT_FALSE(call.protocolOutNull);
    EXPECT_FALSE(call.atrBufferNull);
    EXPECT_EQ(call.atrLengthIn, 32u);
}

TEST_F(CardStatus, AtrOfTheFullBuffer) {
    fakepcsc::StatusStep step;
    step.atr.assign(32, 0x5A);
    pcsc().status.push(step);
    EXPECT_EQ(vm.bytesOf(status(1, vm.heap().newIntArray({0}))), std::vector<jbyte>(32, 0x5A));
}

TEST_F(CardStatus, AtrLongerThanTheBufferIsRefused) {
    fakepcsc::StatusStep step;
    step.atr.assign(32, 1);
    step.reportedAtrLength = 33;
    pcsc().status.push(step);
    EXPECT_EQ(status(1, vm.heap().newIntArray({0})), nullptr);
    expectFatal("pcbAtrLen=33 exceeds buffer of 32", velk::guard_sites::kStatusAtrOverrun);
}

TEST_F(CardStatus, PcscErrorLeavesTheStateArrayAlone) {
    pcsc().status.push(failing<fakepcsc::StatusStep>(SCARD_E_INVALID_HANDLE));
    jintArray state = vm.heap().newIntArray({9});
    EXPECT_EQ(status(1, state), nullptr);
    expectCardException(
        "SCardStatus failed with code SCARD_E_INVALID_HANDLE (The supplied handle was not "
        "valid.)");
    EXPECT_EQ(vm.intsOf(state), (std::vector<jint>{9}));
}

TEST_F(CardStatus, EmptyStateArrayIsAnIndexFailure) {
    EXPECT_EQ(status(1, vm.heap().newIntArray({})), nullptr);
    ASSERT_NE(vm.pending(), nullptr);
    auto cause = static_cast<jthrowable>(vm.heap().find(vm.pending())->cause);
    EXPECT_EQ(vm.classNameOf(cause), "java/lang/ArrayIndexOutOfBoundsException");
    expectFatal("JNI exception occurred", 512, cause);
}

TEST_F(CardStatus, NullStateArrayIsRefusedBeforePcsc) {
    EXPECT_EQ(status(1, nullptr), nullptr);
    expectFatal("stateArray=NULL", velk::guard_sites::kStatusStateArrayNull);
    EXPECT_TRUE(pcsc().calls.empty());
}

TEST_F(CardStatus, JniFailureSitesAfterTheStateIsWritten) {
    forEachFaultSite({pendingAt("NewByteArray", 516), nullAt("NewByteArray", "result=NULL", 519),
                      pendingAt("SetByteArrayRegion", 522)},
                     [&](fakejni::FakeJniEnv& fresh, const FaultSite&) {
                         fakepcsc::StatusStep step;
                         step.state = 6;
                         pcsc().status.push(step);
                         jintArray state = fresh.heap().newIntArray({0});
                         EXPECT_EQ(status(fresh, 1, state), nullptr);
                         EXPECT_EQ(fresh.intsOf(state), (std::vector<jint>{6}));
                     });
}

TEST_F(CardStatus, UnexpectedException) {
    pcsc().status.push(throwing<fakepcsc::StatusStep>());
    EXPECT_EQ(status(1, vm.heap().newIntArray({0})), nullptr);
    expectFatal("got unexpected exception", 540);
}

}  // namespace
}  // namespace velktest
