// Listing readers: the two PC/SC calls, the split of the multi-string and the
// building of the String[].
#include <gtest/gtest.h>

#include <cstdint>

#include "bridge_test.h"
#include "errors/guard_sites.h"

namespace velktest {
namespace {

class ListReaders : public BridgeTest {
  protected:
    jobjectArray list(jlong context = 0x42) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardListReaders(env(), nullptr,
                                                                                    context);
    }
    void offer(const std::string& multiString) {
        fakepcsc::ListReadersStep step;
        step.readers = multiString;
        pcsc().listReaders.always(step);
    }
    std::vector<std::string> names(jobjectArray array) {
        std::vector<std::string> out;
        for (jobject s : vm.elementsOf(array)) {
            out.push_back(vm.heap().find(s)->utf);
        }
        return out;
    }
};

const std::string kThree("A\0B\0C\0\0", 7);

TEST_F(ListReaders, NamesInPcscOrder) {
    offer(kThree);
    jobjectArray result = list(0x42);
    expectNoException();
    EXPECT_EQ(names(result), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(vm.classNameOf(result), "[Ljava/lang/String;");
    ASSERT_EQ(pcsc().listReadersCalls.size(), 2u);
    const auto& first = pcsc().listReadersCalls[0];
    const auto& second = pcsc().listReadersCalls[1];
    EXPECT_EQ(first.context, 0x42);
    EXPECT_TRUE(first.groupsNull);
    EXPECT_TRUE(first.bufferNull);
    EXPECT_NE(first.lengthIn, static_cast<DWORD>(SCARD_AUTOALLOCATE));
    EXPECT_TRUE(second.groupsNull);
    EXPECT_FALSE(second.bufferNull);
    EXPECT_EQ(second.lengthIn, 7u) << "the first call's answer";
}

TEST_F(ListReaders, NameBytesAboveAsciiReachNewStringUtfUnchanged) {
    offer(std::string("Lecteur \xC3\xA9\0\0", 11));
    list();
    ASSERT_EQ(vm.count("NewStringUTF"), 1);
    for (const auto& call : vm.calls()) {
        if (call.function == "NewStringUTF") {
            EXPECT_EQ(call.detail, "Lecteur \xC3\xA9");
        }
    }
}

TEST_F(ListReaders, OnlyTheTerminatorGivesAnEmptyArray) {
    offer(std::string("\0", 1));
    jobjectArray result = list();
    expectNoException();
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(vm.elementsOf(result).empty());
}

TEST_F(ListReaders, NoReadersFromEitherCallIsNullWithoutException) {
    pcsc().listReaders.push(failing<fakepcsc::ListReadersStep>(SCARD_E_NO_READERS_AVAILABLE));
    EXPECT_EQ(list(), nullptr);
    expectNoException();
    EXPECT_EQ(pcsc().listReadersCalls.size(), 1u) << "no second call";

    fakepcsc::reset();
    fakepcsc::ListReadersStep first;
    first.readers = kThree;
    pcsc().listReaders.push(first);
    pcsc().listReaders.push(failing<fakepcsc::ListReadersStep>(SCARD_E_NO_READERS_AVAILABLE));
    EXPECT_EQ(list(), nullptr);
    expectNoException();
}

TEST_F(ListReaders, FirstAndSecondCallFailuresNameTheirCall) {
    pcsc().listReaders.push(failing<fakepcsc::ListReadersStep>(SCARD_E_NO_SERVICE));
    EXPECT_EQ(list(), nullptr);
    expectCardException(
        "SCardListReaders first call failed with code SCARD_E_NO_SERVICE (The smart card "
        "resource manager is not running.)");
    EXPECT_EQ(pcsc().listReadersCalls.size(), 1u);

    vm.setPending(nullptr);
    fakepcsc::reset();
    fakepcsc::ListReadersStep first;
    first.readers = kThree;
    pcsc().listReaders.push(first);
    pcsc().listReaders.push(failing<fakepcsc::ListReadersStep>(SCARD_E_INSUFFICIENT_BUFFER));
    EXPECT_EQ(list(), nullptr);
    expectCardException(
        "SCardListReaders second call failed with code SCARD_E_INSUFFICIENT_BUFFER (The data "
        "buffer for returned data is too small for the returned data.)");
    EXPECT_EQ(pcsc().listReadersCalls.size(), 2u) << "no retry";
}

TEST_F(ListReaders, ReaderUnpluggedBetweenTheCalls) {
    fakepcsc::ListReadersStep first;
    first.readers = kThree;
    fakepcsc::ListReadersStep second;
    second.readers = std::string("B\0\0", 3);
    pcsc().listReaders.push(first);
    pcsc().listReaders.push(second);
    EXPECT_EQ(names(list()), (std::vector<std::string>{"B"}));
}

TEST_F(ListReaders, ReportedLengthAboveTheBufferIsRefused) {
    fakepcsc::ListReadersStep first;
    first.readers = kThree;
    fakepcsc::ListReadersStep second = first;
    second.reportedLength = 4096;
    pcsc().listReaders.push(first);
    pcsc().listReaders.push(second);
    EXPECT_EQ(list(), nullptr);
    expectFatal("pcchReaders=4096 exceeds buffer of 7", velk::guard_sites::kReaderListOverrun);
}

// A length whose buffer cannot be had is a failed allocation, and the two spare
// bytes never wrap a size around to something small.
TEST_F(ListReaders, FirstCallLengthWithoutABufferIsAFailedAllocation) {
    std::vector<DWORD> lengths = {static_cast<DWORD>(SCARD_AUTOALLOCATE)};
    if (sizeof(DWORD) > 4) {
        // Where PC/SC's lengths are 64 bits wide.
        lengths.push_back(static_cast<DWORD>(uint64_t{1} << 63));
        lengths.push_back(static_cast<DWORD>(UINT64_MAX - 1));
    } else {
        lengths.push_back(DWORD{0xFFFFFFFE});
        lengths.push_back(DWORD{0xFFFFFFFD});
    }
    for (DWORD length : lengths) {
        SCOPED_TRACE(length);
        vm.setPending(nullptr);
        fakepcsc::reset();
        fakepcsc::ListReadersStep first;
        first.reportedLength = length;
        pcsc().listReaders.push(first);
        EXPECT_EQ(list(), nullptr);
        expectFatal("got unexpected exception", 290);
        EXPECT_EQ(pcsc().listReadersCalls.size(), 1u) << "no second call";
    }
}

TEST_F(ListReaders, JniFailureSites) {
    offer(kThree);
    // The call of each function that fails: the fatal report makes further ones.
    forEachFaultSite(
        {pendingAt("NewObjectArray", 257, 1), nullAt("NewObjectArray", "result=NULL", 260, 1),
         pendingAt("NewStringUTF", 265, 2), nullAt("NewStringUTF", "s=NULL", 268, 2),
         pendingAt("SetObjectArrayElement", 271, 3)},
        [&](fakejni::FakeJniEnv& fresh, const FaultSite&) {
            EXPECT_EQ(Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardListReaders(
                          fresh.env(), nullptr, 1),
                      nullptr);
        });
}

TEST_F(ListReaders, UnexpectedException) {
    pcsc().listReaders.push(throwing<fakepcsc::ListReadersStep>());
    EXPECT_EQ(list(), nullptr);
    expectFatal("got unexpected exception", 290);
}

}  // namespace
}  // namespace velktest
