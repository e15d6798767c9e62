// The stand-in must never write past what a caller gave it, whatever length it
// is told to report.
#include "fake_pcsc.h"

#include <gtest/gtest.h>

TEST(FakePcsc, ReportsScriptedLengthButCopiesOnlyCapacity) {
    fakepcsc::reset();
    fakepcsc::TransmitStep step;
    step.response = {1, 2, 3, 4};
    step.reportedLength = 2000;
    fakepcsc::fake().transmit.push(step);
    BYTE buffer[3] = {0, 0, 0};
    DWORD length = 2;
    EXPECT_EQ(SCardTransmit(1, SCARD_PCI_T1, nullptr, 0, nullptr, buffer, &length),
              SCARD_S_SUCCESS);
    EXPECT_EQ(length, 2000u);
    EXPECT_EQ(buffer[1], 2);
    EXPECT_EQ(buffer[2], 0);
    EXPECT_EQ(fakepcsc::fake().transmitCalls.at(0).recvLengthIn, 2u);
}

TEST(FakePcsc, QueuedStepsThenFallback) {
    fakepcsc::reset();
    fakepcsc::Result fail;
    fail.rv = SCARD_E_NO_SERVICE;
    fakepcsc::fake().release.push(fail);
    EXPECT_EQ(SCardReleaseContext(5), SCARD_E_NO_SERVICE);
    EXPECT_EQ(SCardReleaseContext(6), SCARD_S_SUCCESS);
    EXPECT_EQ(fakepcsc::fake().releaseCalls.at(1).handle, 6);
    EXPECT_EQ(fakepcsc::fake().calls.size(), 2u);
}
