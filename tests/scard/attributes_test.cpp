// Reader attributes: the length query, the fixed 2048-byte buffer and the
// two size messages of their own.
#include <gtest/gtest.h>

#include "bridge_test.h"
#include "errors/guard_sites.h"

namespace velktest {
namespace {

constexpr jint kVendorName = 0x00010100;  // SCARD_ATTR_VENDOR_NAME

class Attributes : public BridgeTest {
  protected:
    jbyteArray getAttr(fakejni::FakeJniEnv& on, jint id = kVendorName) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardGetAttr(on.env(), nullptr,
                                                                                0x77, id);
    }
    jbyteArray getAttr(jint id = kVendorName) { return getAttr(vm, id); }
    // Both calls see the same value, as PC/SC lite would.
    void offer(std::vector<BYTE> value) {
        fakepcsc::GetAttribStep step;
        step.value = std::move(value);
        pcsc().getAttrib.always(step);
    }
};

TEST_F(Attributes, LengthQueryThenRead) {
    offer({'V', 'e', 'l', 'k'});
    jbyteArray value = getAttr(-1);
    expectNoException();
    EXPECT_EQ(vm.bytesOf(value), (std::vector<jbyte>{'V', 'e', 'l', 'k'}));
    ASSERT_EQ(pcsc().getAttribCalls.size(), 2u);
    const auto& query = pcsc().getAttribCalls[0];
    const auto& read = pcsc().getAttribCalls[1];
    EXPECT_EQ(query.card, 0x77);
    EXPECT_EQ(static_cast<uint32_t>(query.attrId), 0xFFFFFFFFu);
    EXPECT_TRUE(query.bufferNull);
    EXPECT_EQ(query.lengthIn, 2048u);
    EXPECT_EQ(read.attrId, query.attrId);
    EXPECT_FALSE(read.bufferNull);
    EXPECT_EQ(read.lengthIn, 4u) << "the length the query reported";
}

TEST_F(Attributes, UnsupportedIsNullWithoutException) {
    pcsc().getAttrib.push(failing<fakepcsc::GetAttribStep>(static_cast<LONG>(0x8010001Fu)));
    EXPECT_EQ(getAttr(), nullptr);
    expectNoException();
    EXPECT_EQ(pcsc().getAttribCalls.size(), 1u);
}

TEST_F(Attributes, UnsupportedFromTheReadIsAFailure) {
    offer({1});
    fakepcsc::GetAttribStep query;
    query.value = {1};
    pcsc().getAttrib.push(query);
    pcsc().getAttrib.push(failing<fakepcsc::GetAttribStep>(static_cast<LONG>(0x8010001Fu)));
    EXPECT_EQ(getAttr(), nullptr);
    expectCardException(
        "SCardGetAttr failed with code SCARD_E_UNEXPECTED (An unexpected card error has "
        "occurred.)");
}

TEST_F(Attributes, LengthQueryError) {
    pcsc().getAttrib.push(failing<fakepcsc::GetAttribStep>(SCARD_E_INVALID_HANDLE));
    EXPECT_EQ(getAttr(), nullptr);
    expectCardException(
        "SCardGetAttr failed with code SCARD_E_INVALID_HANDLE (The supplied handle was not "
        "valid.)");
}

TEST_F(Attributes, ExactlyTheCapacityIsRead) {
    offer(std::vector<BYTE>(2048, 0xEE));
    EXPECT_EQ(vm.bytesOf(getAttr()).size(), 2048u);
    expectNoException();
}

TEST_F(Attributes, MoreThanTheCapacityIsRefusedBeforeTheRead) {
    fakepcsc::GetAttribStep query;
    query.reportedLength = 2049;
    pcsc().getAttrib.push(query);
    EXPECT_EQ(getAttr(), nullptr);
    expectCardException(
        "SCardGetAttr requires pbAttr length of 2049 which is more than static 2048");
    EXPECT_EQ(pcsc().getAttribCalls.size(), 1u);
}

TEST_F(Attributes, InsufficientBufferNamesTheReadsLength) {
    fakepcsc::GetAttribStep query;
    query.reportedLength = 10;
    fakepcsc::GetAttribStep read;
    read.rv = SCARD_E_INSUFFICIENT_BUFFER;
    read.reportedLength = 20;
    pcsc().getAttrib.push(query);
    pcsc().getAttrib.push(read);
    EXPECT_EQ(getAttr(), nullptr);
    expectCardException(
        "SCardGetAttr insufficient pbAttr buffer size. Required=20. SCARD_E_INSUFFICIENT_BUFFER "
        "(The data buffer for returned data is too small for the returned data.)");
}

TEST_F(Attributes, ZeroLengthIsAnEmptyArray) {
    offer({});
    jbyteArray value = getAttr();
    expectNoException();
    ASSERT_NE(value, nullptr);
    EXPECT_TRUE(vm.bytesOf(value).empty());
    EXPECT_EQ(pcsc().getAttribCalls.at(1).lengthIn, 0u);
}

TEST_F(Attributes, ReadReportingMoreThanItWasGivenIsRefused) {
    fakepcsc::GetAttribStep query;
    query.value = {1, 2, 3};
    fakepcsc::GetAttribStep read = query;
    read.reportedLength = 4;
    pcsc().getAttrib.push(query);
    pcsc().getAttrib.push(read);
    EXPECT_EQ(getAttr(), nullptr);
    expectFatal("pcbAttrLen=4 exceeds buffer of 3", velk::guard_sites::kGetAttrOverrun);
}

TEST_F(Attributes, JniFailureSites) {
    offer({1, 2});
    forEachFaultSite(
        {pendingAt("NewByteArray", 798), nullAt("NewByteArray", "result=NULL", 801),
         pendingAt("SetByteArrayRegion", 804)},
        [&](fakejni::FakeJniEnv& fresh, const FaultSite&) { EXPECT_EQ(getAttr(fresh), nullptr); });
}

TEST_F(Attributes, UnexpectedException) {
    fakepcsc::GetAttribStep query;
    query.value = {1};
    pcsc().getAttrib.push(query);
    pcsc().getAttrib.push(throwing<fakepcsc::GetAttribStep>());
    EXPECT_EQ(getAttr(), nullptr);
    expectFatal("got unexpected exception", 816);
}

}  // namespace
}  // namespace velktest
