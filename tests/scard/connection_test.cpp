// Connecting, reconnecting and disconnecting: the reader name, the active
// protocol handed back in element 0, and the failure sites.
#include <gtest/gtest.h>

#include "bridge_test.h"
#include "errors/guard_sites.h"

namespace velktest {
namespace {

class Connection : public BridgeTest {
  protected:
    jlong connect(jstring reader, jintArray activeProtocol, jint share = SCARD_SHARE_SHARED,
                  jint protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardConnect(
            env(), nullptr, 0x42, reader, share, protocols, activeProtocol);
    }
    void reconnect(jlong card, jintArray activeProtocol) {
        Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardReconnect(
            env(), nullptr, card, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, SCARD_RESET_CARD,
            activeProtocol);
    }
    void disconnect(jlong card, jint disposition) {
        Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardDisconnect(env(), nullptr, card,
                                                                            disposition);
    }
    jstring reader() { return vm.heap().newString(u"Reader \u00e9 0"); }
};

TEST_F(Connection, ConnectWritesOnlyElementZero) {
    fakepcsc::ConnectStep step;
    step.card = 0x5150;
    step.activeProtocol = SCARD_PROTOCOL_T0;
    pcsc().connect.push(step);
    jintArray protocol = vm.heap().newIntArray({-7, 8, 9});
    EXPECT_EQ(connect(reader(), protocol, SCARD_SHARE_DIRECT, -1), 0x5150);
    expectNoException();
    EXPECT_EQ(vm.intsOf(protocol), (std::vector<jint>{SCARD_PROTOCOL_T0, 8, 9}));
    ASSERT_EQ(pcsc().connectCalls.size(), 1u);
    const auto& call = pcsc().connectCalls[0];
    EXPECT_EQ(call.context, 0x42);
    EXPECT_EQ(call.reader, std::string("Reader \xC3\xA9 0"));
    EXPECT_EQ(call.shareMode, static_cast<DWORD>(SCARD_SHARE_DIRECT));
    EXPECT_EQ(static_cast<uint32_t>(call.preferredProtocols), 0xFFFFFFFFu);
    EXPECT_TRUE(pcsc().disconnectCalls.empty());
}

TEST_F(Connection, NullReaderReachesPcscAsNull) {
    pcsc().connect.push(failing<fakepcsc::ConnectStep>(SCARD_E_UNKNOWN_READER));
    jintArray protocol = vm.heap().newIntArray({5});
    EXPECT_EQ(connect(nullptr, protocol), -1);
    expectCardException(
        "SCardConnect failed with code SCARD_E_UNKNOWN_READER (The specified reader name is not "
        "recognized.)");
    EXPECT_FALSE(pcsc().connectCalls.at(0).reader.has_value());
    EXPECT_EQ(vm.count("GetStringUTFChars"), 0);
    EXPECT_EQ(vm.intsOf(protocol), (std::vector<jint>{5})) << "untouched on a PC/SC error";
}

TEST_F(Connection, NoCard) {
    pcsc().connect.push(failing<fakepcsc::ConnectStep>(SCARD_E_NO_SMARTCARD));
    EXPECT_EQ(connect(reader(), vm.heap().newIntArray({0})), -1);
    expectCardException(
        "SCardConnect failed with code SCARD_E_NO_SMARTCARD (The operation requires a smart "
        "card, but no smart card is currently in the device.)");
}

TEST_F(Connection, UnusableActiveProtocolIsRefusedBeforePcsc) {
    EXPECT_EQ(connect(reader(), nullptr), -1);
    expectFatal("activeProtocol=NULL", velk::guard_sites::kConnectActiveProtocolNull);
    vm.setPending(nullptr);
    EXPECT_EQ(connect(reader(), vm.heap().newIntArray({})), -1);
    expectFatal("activeProtocol size = 0", velk::guard_sites::kConnectActiveProtocolEmpty);
    EXPECT_TRUE(pcsc().calls.empty());
}

TEST_F(Connection, ReaderNameFailure) {
    jthrowable oom = javaError();
    vm.pendOn("GetStringUTFChars", oom);
    EXPECT_EQ(connect(reader(), vm.heap().newIntArray({0})), -1);
    expectFatal("JNI exception occurred", 317, oom);
    EXPECT_TRUE(pcsc().calls.empty());
}

TEST_F(Connection, FailureAroundConnectingLeavesNoConnectionBehind) {
    using velk::guard_sites::kConnectActiveProtocolLength;
    forEachFaultSite(
        {pendingAt("GetArrayLength", kConnectActiveProtocolLength),
         pendingAt("GetIntArrayElements", 329),
         nullAt("GetIntArrayElements", "activeProtocolElements=NULL",
                velk::guard_sites::kConnectActiveProtocolElements),
         pendingAt("ReleaseIntArrayElements", 332)},
        [&](fakejni::FakeJniEnv& fresh, const FaultSite& site) {
            fakepcsc::reset();
            fakepcsc::ConnectStep step;
            step.card = static_cast<SCARDHANDLE>(0x80000007u);
            pcsc().connect.push(step);
            EXPECT_EQ(Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardConnect(
                          fresh.env(), nullptr, 1, nullptr, 0, 0, fresh.heap().newIntArray({0})),
                      -1);
            if (site.line == kConnectActiveProtocolLength) {
                EXPECT_TRUE(pcsc().calls.empty()) << "refused before connecting";
                return;
            }
            ASSERT_EQ(pcsc().disconnectCalls.size(), 1u);
            EXPECT_EQ(pcsc().disconnectCalls[0].card, step.card);
            EXPECT_EQ(pcsc().disconnectCalls[0].disposition, static_cast<DWORD>(SCARD_LEAVE_CARD));
        });
}

TEST_F(Connection, ReaderCharactersRefusedByTheVm) {
    vm.nullOn("GetStringUTFChars");
    EXPECT_EQ(connect(reader(), vm.heap().newIntArray({0})), -1);
    expectFatal("chars=NULL", velk::guard_sites::kStringCharsNull);
    EXPECT_TRUE(pcsc().calls.empty());
}

TEST_F(Connection, ConnectUnexpectedException) {
    pcsc().connect.push(throwing<fakepcsc::ConnectStep>());
    EXPECT_EQ(connect(reader(), vm.heap().newIntArray({0})), -1);
    expectFatal("got unexpected exception", 351);
}

TEST_F(Connection, ReconnectStoresTheNewProtocol) {
    fakepcsc::ReconnectStep step;
    step.activeProtocol = SCARD_PROTOCOL_T0;
    pcsc().reconnect.push(step);
    jintArray protocol = vm.heap().newIntArray({0, 4});
    reconnect(static_cast<jlong>(static_cast<int32_t>(0x80000007u)), protocol);
    expectNoException();
    EXPECT_EQ(vm.intsOf(protocol), (std::vector<jint>{SCARD_PROTOCOL_T0, 4}));
    const auto& call = pcsc().reconnectCalls.at(0);
    EXPECT_EQ(static_cast<uint32_t>(call.card), 0x80000007u);
    EXPECT_EQ(call.shareMode, static_cast<DWORD>(SCARD_SHARE_EXCLUSIVE));
    EXPECT_EQ(call.preferredProtocols, static_cast<DWORD>(SCARD_PROTOCOL_T1));
    EXPECT_EQ(call.initialization, static_cast<DWORD>(SCARD_RESET_CARD));
}

TEST_F(Connection, ReconnectFailures) {
    jintArray protocol = vm.heap().newIntArray({3});
    pcsc().reconnect.push(failing<fakepcsc::ReconnectStep>(SCARD_W_REMOVED_CARD));
    reconnect(1, protocol);
    expectCardException(
        "SCardReconnect failed with code SCARD_W_REMOVED_CARD (The smart card has been removed, "
        "so further communication is not possible.)");
    EXPECT_EQ(vm.intsOf(protocol), (std::vector<jint>{3}));

    vm.setPending(nullptr);
    reconnect(1, vm.heap().newIntArray({}));
    ASSERT_NE(vm.pending(), nullptr);
    jobject cause = vm.heap().find(vm.pending())->cause;
    ASSERT_NE(cause, nullptr);
    EXPECT_EQ(vm.classNameOf(cause), "java/lang/ArrayIndexOutOfBoundsException");
    expectFatal("JNI exception occurred", 742, static_cast<jthrowable>(cause));

    vm.setPending(nullptr);
    pcsc().reconnect.push(throwing<fakepcsc::ReconnectStep>());
    reconnect(1, protocol);
    expectFatal("got unexpected exception", 752);

    vm.setPending(nullptr);
    size_t before = pcsc().calls.size();
    reconnect(1, nullptr);
    expectFatal("activeProtocol=NULL", velk::guard_sites::kReconnectActiveProtocolNull);
    EXPECT_EQ(pcsc().calls.size(), before);
}

TEST_F(Connection, Disconnect) {
    disconnect(0x99, SCARD_UNPOWER_CARD);
    expectNoException();
    EXPECT_EQ(pcsc().disconnectCalls.at(0).card, 0x99);
    EXPECT_EQ(pcsc().disconnectCalls.at(0).disposition, static_cast<DWORD>(SCARD_UNPOWER_CARD));

    pcsc().disconnect.push(failing<fakepcsc::Result>(SCARD_E_INVALID_HANDLE));
    disconnect(0x99, SCARD_LEAVE_CARD);
    expectCardException(
        "SCardDisconnect failed with code SCARD_E_INVALID_HANDLE (The supplied handle was not "
        "valid.)");

    vm.setPending(nullptr);
    pcsc().disconnect.push(throwing<fakepcsc::Result>());
    disconnect(1, 0);
    expectFatal("got unexpected exception", 715);
}

}  // namespace
}  // namespace velktest
