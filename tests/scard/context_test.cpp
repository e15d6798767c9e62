// Establishing and releasing a context: the shape every bridge call shares,
// and how handles cross between PC/SC's LONG and Java's long on each width.
#include <gtest/gtest.h>

#include <cstdint>

#include "bridge_test.h"

namespace velktest {
namespace {

class Context : public BridgeTest {
  protected:
    jlong establish(jint scope) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardEstablishContext(
            env(), nullptr, scope);
    }
    void release(jlong context) {
        Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardReleaseContext(env(), nullptr,
                                                                                context);
    }
};

TEST_F(Context, EstablishReturnsTheNewContext) {
    fakepcsc::EstablishStep step;
    step.context = 0x1234;
    pcsc().establish.push(step);
    EXPECT_EQ(establish(SCARD_SCOPE_SYSTEM), 0x1234);
    expectNoException();
    ASSERT_EQ(pcsc().establishCalls.size(), 1u);
    EXPECT_EQ(pcsc().establishCalls[0].scope, static_cast<DWORD>(SCARD_SCOPE_SYSTEM));
    EXPECT_EQ(pcsc().establishCalls[0].reserved1, nullptr);
    EXPECT_EQ(pcsc().establishCalls[0].reserved2, nullptr);
    EXPECT_FALSE(pcsc().establishCalls[0].contextOutNull);
    EXPECT_TRUE(vm.calls().empty());
}

TEST_F(Context, ScopeReachesPcscBitForBit) {
    establish(-1);
    EXPECT_EQ(static_cast<uint32_t>(pcsc().establishCalls[0].scope), 0xFFFFFFFFu);
}

TEST_F(Context, NoServiceFailsWithMinusOne) {
    pcsc().establish.push(failing<fakepcsc::EstablishStep>(SCARD_E_NO_SERVICE));
    EXPECT_EQ(establish(SCARD_SCOPE_SYSTEM), -1);
    expectCardException(
        "SCardEstablishContext failed with code SCARD_E_NO_SERVICE (The smart card resource "
        "manager is not running.)");
}

TEST_F(Context, UnexpectedExceptionIsReportedAtTheCatchAll) {
    pcsc().establish.push(throwing<fakepcsc::EstablishStep>());
    EXPECT_EQ(establish(SCARD_SCOPE_SYSTEM), -1);
    expectFatal("got unexpected exception", 159);

    vm.setPending(nullptr);
    pcsc().release.push(throwing<fakepcsc::Result>());
    release(1);
    expectFatal("got unexpected exception", 186);
}

TEST_F(Context, ReleasingTwiceReportsPcscsVerdict) {
    fakepcsc::fake().release.push(fakepcsc::Result{});
    pcsc().release.push(failing<fakepcsc::Result>(SCARD_E_INVALID_HANDLE));
    release(0x55);
    expectNoException();
    release(0x55);
    expectCardException(
        "SCardReleaseContext failed with code SCARD_E_INVALID_HANDLE (The supplied handle was "
        "not valid.)");
    ASSERT_EQ(pcsc().releaseCalls.size(), 2u);
    EXPECT_EQ(pcsc().releaseCalls[1].handle, 0x55);
}

TEST_F(Context, HandleWithBit31SetSurvivesTheRoundTrip) {
    fakepcsc::EstablishStep step;
    step.context = static_cast<SCARDCONTEXT>(0x80000001u);
    pcsc().establish.push(step);
    jlong java = establish(SCARD_SCOPE_USER);
    if (sizeof(LONG) == 4) {
        EXPECT_EQ(java, -2147483647LL) << "sign-extended from 32 bits";
    } else {
        EXPECT_EQ(java, 0x80000001LL);
    }
    release(java);
    EXPECT_EQ(pcsc().releaseCalls.at(0).handle, step.context);
}

TEST_F(Context, OnlyTheLowHalfOfAJavaLongReachesA32BitPcsc) {
    const jlong garbageHigh = static_cast<jlong>(0x1234567880000001ULL);
    release(garbageHigh);
    if (sizeof(LONG) == 4) {
        EXPECT_EQ(static_cast<uint32_t>(pcsc().releaseCalls.at(0).handle), 0x80000001u);
    } else {
        EXPECT_EQ(static_cast<jlong>(pcsc().releaseCalls.at(0).handle), garbageHigh);
    }
}

}  // namespace
}  // namespace velktest
