// Reader control: the code and command reach PC/SC as given, the answer
// buffer is pcsc-lite's largest, and the failure sites.
#include <gtest/gtest.h>

#include <vector>

#include "bridge_test.h"
#include "errors/guard_sites.h"

namespace velktest {
namespace {

constexpr jint kFeatureRequest = 0x42000000 + 3400;
constexpr DWORD kAnswerCapacity = 65548;

class Control : public BridgeTest {
  protected:
    jbyteArray control(fakejni::FakeJniEnv& on, jint code, jbyteArray command) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCardControl_SCardControl(
            on.env(), nullptr, 0x77, code, command);
    }
    jbyteArray control(jint code, jbyteArray command) { return control(vm, code, command); }
    void answer(std::vector<BYTE> bytes, std::optional<DWORD> reported = std::nullopt) {
        fakepcsc::ControlStep step;
        step.answer = std::move(bytes);
        step.reportedLength = reported;
        pcsc().control.push(step);
    }
};

TEST_F(Control, CodeAndCommandReachPcscAndTheAnswerComesBack) {
    answer({0x06, 0x04, 0x42, 0x00, 0x0D, 0xB2});
    jbyteArray command = vm.heap().newByteArray({1, -2, 3});
    jbyteArray result = control(static_cast<jint>(0x8000ABCD), command);
    expectNoException();
    EXPECT_EQ(vm.bytesOf(result), (std::vector<jbyte>{0x06, 0x04, 0x42, 0x00, 0x0D, -0x4E}));
    EXPECT_EQ(vm.bytesOf(command), (std::vector<jbyte>{1, -2, 3}));
    const auto& call = pcsc().controlCalls.at(0);
    EXPECT_EQ(call.card, 0x77);
    EXPECT_EQ(call.controlCode, 0x8000ABCDu) << "the code goes to PC/SC bit for bit";
    EXPECT_EQ(call.command, (std::vector<BYTE>{1, 0xFE, 3}));
    EXPECT_FALSE(call.recvBufferNull);
    EXPECT_EQ(call.recvLength, kAnswerCapacity);
    EXPECT_FALSE(call.returnedNull);
}

TEST_F(Control, EmptyCommandAndEmptyAnswer) {
    answer({});
    jbyteArray result = control(kFeatureRequest, vm.heap().newByteArray({}));
    expectNoException();
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(vm.bytesOf(result).empty());
    EXPECT_EQ(pcsc().controlCalls.at(0).sendBuffer, nullptr);
    EXPECT_EQ(pcsc().controlCalls.at(0).sendLength, 0u);
}

TEST_F(Control, AnswerOfTheWholeBufferAndOneByteMore) {
    std::vector<BYTE> full(kAnswerCapacity);
    full.back() = 0x5A;
    answer(full);
    std::vector<jbyte> bytes = vm.bytesOf(control(kFeatureRequest, vm.heap().newByteArray({})));
    ASSERT_EQ(bytes.size(), kAnswerCapacity);
    EXPECT_EQ(bytes.back(), 0x5A);

    answer({}, kAnswerCapacity + 1);
    EXPECT_EQ(control(kFeatureRequest, vm.heap().newByteArray({})), nullptr);
    expectFatal("lpBytesReturned=65549 exceeds buffer of 65548",
                velk::guard_sites::kControlAnswerOverrun);
}

TEST_F(Control, NullCommand) {
    EXPECT_EQ(control(kFeatureRequest, nullptr), nullptr);
    expectFatal("command=NULL", velk::guard_sites::kControlCommandNull);
    EXPECT_TRUE(pcsc().calls.empty());
}

TEST_F(Control, PcscError) {
    pcsc().control.push(failing<fakepcsc::ControlStep>(SCARD_E_UNSUPPORTED_FEATURE));
    EXPECT_EQ(control(kFeatureRequest, vm.heap().newByteArray({})), nullptr);
    expectCardException(
        "SCardControl failed with code SCARD_E_UNSUPPORTED_FEATURE (This smart card does not "
        "support the requested feature.)");
}

TEST_F(Control, JniFailureSites) {
    forEachFaultSite(
        {pendingAt("GetArrayLength", 1082), pendingAt("GetByteArrayElements", 1083),
         nullAt("GetByteArrayElements", "requestArrayElements=NULL", 1084),
         pendingAt("ReleaseByteArrayElements", 1085), pendingAt("NewByteArray", 1086),
         nullAt("NewByteArray", "result=NULL", 1087), pendingAt("SetByteArrayRegion", 1088)},
        [&](fakejni::FakeJniEnv& fresh, const FaultSite& site) {
            fakepcsc::reset();
            answer({0x90, 0x00});
            EXPECT_EQ(control(fresh, kFeatureRequest, fresh.heap().newByteArray({1, 2})), nullptr);
            EXPECT_EQ(pcsc().controlCalls.size(), site.line < 1086 ? 0u : 1u);
        });
}

TEST_F(Control, UnexpectedException) {
    pcsc().control.push(throwing<fakepcsc::ControlStep>());
    EXPECT_EQ(control(kFeatureRequest, vm.heap().newByteArray({})), nullptr);
    expectFatal("got unexpected exception", 1089);
}

}  // namespace
}  // namespace velktest
