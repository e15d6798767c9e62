// Beginning and ending a transaction: arguments unchanged, PC/SC's verdict
// reported.
#include <gtest/gtest.h>

#include "bridge_test.h"

namespace velktest {
namespace {

class Transactions : public BridgeTest {
  protected:
    void begin(jlong card) {
        Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardBeginTransaction(env(), nullptr,
                                                                                  card);
    }
    void end(jlong card, jint disposition) {
        Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardEndTransaction(env(), nullptr,
                                                                                card, disposition);
    }
};

TEST_F(Transactions, PassHandleAndDispositionUnchanged) {
    begin(0x77);
    end(0x77, SCARD_RESET_CARD);
    end(0x77, 0x12345);
    expectNoException();
    EXPECT_EQ(pcsc().beginTransactionCalls.at(0).handle, 0x77);
    EXPECT_EQ(pcsc().endTransactionCalls.at(0).card, 0x77);
    EXPECT_EQ(pcsc().endTransactionCalls.at(0).disposition, static_cast<DWORD>(SCARD_RESET_CARD));
    EXPECT_EQ(pcsc().endTransactionCalls.at(1).disposition, 0x12345u);
    EXPECT_TRUE(vm.calls().empty());
}

TEST_F(Transactions, EndWithoutTransaction) {
    pcsc().endTransaction.push(failing<fakepcsc::Result>(SCARD_E_NOT_TRANSACTED));
    end(1, SCARD_LEAVE_CARD);
    expectCardException(
        "SCardEndTransaction failed with code SCARD_E_NOT_TRANSACTED (An attempt was made to end "
        "a nonexistent transaction.)");
}

TEST_F(Transactions, BeginOnAStaleHandle) {
    pcsc().beginTransaction.push(failing<fakepcsc::Result>(SCARD_E_INVALID_HANDLE));
    begin(1);
    expectCardException(
        "SCardBeginTransaction failed with code SCARD_E_INVALID_HANDLE (The supplied handle was "
        "not valid.)");
}

TEST_F(Transactions, UnexpectedExceptions) {
    pcsc().beginTransaction.push(throwing<fakepcsc::Result>());
    begin(1);
    expectFatal("got unexpected exception", 571);
    vm.setPending(nullptr);
    pcsc().endTransaction.push(throwing<fakepcsc::Result>());
    end(1, 0);
    expectFatal("got unexpected exception", 602);
}

}  // namespace
}  // namespace velktest
