// APDU exchange: the send PCI per protocol, the request copied out unwritten,
// the response buffer and the failure sites.
#include <gtest/gtest.h>

#include <vector>

#include "bridge_test.h"
#include "errors/guard_sites.h"

namespace velktest {
namespace {

class Transmit : public BridgeTest {
  protected:
    jbyteArray transmit(fakejni::FakeJniEnv& on, jint protocol, jbyteArray request) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardTransmit(
            on.env(), nullptr, 0x77, protocol, request);
    }
    jbyteArray transmit(jint protocol, jbyteArray request) {
        return transmit(vm, protocol, request);
    }
    void respond(std::vector<BYTE> response) {
        fakepcsc::TransmitStep step;
        step.response = std::move(response);
        pcsc().transmit.push(step);
    }
};

const std::vector<jbyte> kSelect = {0x00, -0x5C, 0x04, 0x00, 0x00};

TEST_F(Transmit, RequestReachesPcscWithTheProtocolsPci) {
    for (jint protocol : {SCARD_PROTOCOL_T0, SCARD_PROTOCOL_T1}) {
        SCOPED_TRACE(protocol);
        fakepcsc::reset();
        respond({0x61, 0x10});
        jbyteArray request = vm.heap().newByteArray(kSelect);
        jbyteArray response = transmit(protocol, request);
        expectNoException();
        EXPECT_EQ(vm.bytesOf(response), (std::vector<jbyte>{0x61, 0x10}));
        EXPECT_EQ(vm.bytesOf(request), kSelect);
        const auto& call = pcsc().transmitCalls.at(0);
        EXPECT_EQ(call.card, 0x77);
        EXPECT_EQ(call.request, (std::vector<BYTE>{0x00, 0xA4, 0x04, 0x00, 0x00}));
        EXPECT_EQ(call.sendLength, 5u);
        const SCARD_IO_REQUEST& expected =
            protocol == SCARD_PROTOCOL_T0 ? g_rgSCardT0Pci : g_rgSCardT1Pci;
        ASSERT_TRUE(call.sendPciValue.has_value());
        EXPECT_EQ(call.sendPciValue->dwProtocol, expected.dwProtocol);
        EXPECT_EQ(call.sendPciValue->cbPciLength, expected.cbPciLength);
        EXPECT_EQ(call.recvPci, nullptr);
        EXPECT_FALSE(call.recvBufferNull);
        EXPECT_EQ(call.recvLengthIn, 1024u);
    }
    for (const auto& c : vm.calls()) {
        if (c.function == "ReleaseByteArrayElements") {
            EXPECT_EQ(c.detail, "mode=2") << "the request is never written back";
        }
    }
}

TEST_F(Transmit, EmptyRequestIsANullBufferOfLengthZero) {
    respond({});
    jbyteArray response = transmit(SCARD_PROTOCOL_T1, vm.heap().newByteArray({}));
    expectNoException();
    ASSERT_NE(response, nullptr);
    EXPECT_TRUE(vm.bytesOf(response).empty()) << "0 bytes is an empty array, not null";
    EXPECT_EQ(pcsc().transmitCalls.at(0).sendBuffer, nullptr);
    EXPECT_EQ(pcsc().transmitCalls.at(0).sendLength, 0u);
}

TEST_F(Transmit, ResponseOfTheWholeBuffer) {
    std::vector<BYTE> full(1024);
    for (size_t i = 0; i < full.size(); ++i) {
        full[i] = static_cast<BYTE>(i * 7);
    }
    respond(full);
    std::vector<jbyte> bytes = vm.bytesOf(transmit(SCARD_PROTOCOL_T0, vm.heap().newByteArray({1})));
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_EQ(static_cast<BYTE>(bytes[1023]), full[1023]);
}

TEST_F(Transmit, ReportedLengthAboveTheBufferIsRefused) {
    fakepcsc::TransmitStep step;
    step.response.assign(1024, 0);
    step.reportedLength = 1025;
    pcsc().transmit.push(step);
    EXPECT_EQ(transmit(SCARD_PROTOCOL_T0, vm.heap().newByteArray({1})), nullptr);
    expectFatal("pcbRecvLength=1025 exceeds buffer of 1024",
                velk::guard_sites::kTransmitResponseOverrun);
}

TEST_F(Transmit, IllegalProtocolIsRefusedBeforeTheRequestIsRead) {
    for (jint protocol : {0, 3, 4, -1}) {
        SCOPED_TRACE(protocol);
        vm.setPending(nullptr);
        vm.clearCalls();
        EXPECT_EQ(transmit(protocol, nullptr), nullptr);
        expectFatal("illegal protocol " + std::to_string(protocol), 630);
        EXPECT_EQ(vm.count("GetArrayLength"), 0);
    }
    EXPECT_TRUE(pcsc().calls.empty());
}

TEST_F(Transmit, NullRequestWithAValidProtocol) {
    EXPECT_EQ(transmit(SCARD_PROTOCOL_T1, nullptr), nullptr);
    expectFatal("request=NULL", velk::guard_sites::kTransmitRequestNull);
}

TEST_F(Transmit, PcscError) {
    pcsc().transmit.push(failing<fakepcsc::TransmitStep>(SCARD_W_REMOVED_CARD));
    EXPECT_EQ(transmit(SCARD_PROTOCOL_T1, vm.heap().newByteArray({})), nullptr);
    expectCardException(
        "SCardTransmit failed with code SCARD_W_REMOVED_CARD (The smart card has been removed, so "
        "further communication is not possible.)");
}

TEST_F(Transmit, JniFailureSites) {
    forEachFaultSite(
        {pendingAt("GetArrayLength", 634), pendingAt("GetByteArrayElements", 637),
         nullAt("GetByteArrayElements", "requestArrayElements=NULL", 640),
         pendingAt("ReleaseByteArrayElements", 648), pendingAt("NewByteArray", 660),
         nullAt("NewByteArray", "result=NULL", 663), pendingAt("SetByteArrayRegion", 666)},
        [&](fakejni::FakeJniEnv& fresh, const FaultSite& site) {
            fakepcsc::reset();
            jbyteArray request = fresh.heap().newByteArray(kSelect);
            EXPECT_EQ(transmit(fresh, SCARD_PROTOCOL_T1, request), nullptr);
            EXPECT_EQ(fresh.bytesOf(request), kSelect);
            EXPECT_EQ(pcsc().transmitCalls.size(), site.line < 650 ? 0u : 1u);
        });
}

TEST_F(Transmit, UnexpectedException) {
    pcsc().transmit.push(throwing<fakepcsc::TransmitStep>());
    EXPECT_EQ(transmit(SCARD_PROTOCOL_T1, vm.heap().newByteArray(kSelect)), nullptr);
    expectFatal("got unexpected exception", 684);
}

}  // namespace
}  // namespace velktest
