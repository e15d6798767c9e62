// Opens from several threads reach hidapi one at a time. The stand-in holds
// the first open inside hid_open while a second thread opens too; the second
// must wait in the library, not join the first inside hidapi.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "fake_hidapi.h"
#include "velkreader.h"

namespace {

// Bounds a wait that a healthy run ends at once; qemu included.
constexpr auto kPatience = std::chrono::minutes(5);

template <typename Condition>
bool waitFor(Condition condition) {
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// The thread sleeps in the kernel: blocked on a lock, since it does nothing else.
bool blocked(long tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::size_t end = text.rfind(')');
    return end != std::string::npos && text.compare(end + 1, 3, " S ") == 0;
}

}  // namespace

TEST(ReaderOpen, ConcurrentOpensReachHidapiOneAtATime) {
    ASSERT_TRUE(fakeHidSetScript("hold"));
    VelkReaderHandle first = nullptr;
    VelkReaderHandle second = nullptr;
    std::thread a([&first] { VelkReaderOpen(&first); });
    ASSERT_TRUE(waitFor([] { return fakeHidHeld() == 1; }));

    std::atomic<long> tid{0};
    std::atomic<bool> done{false};
    std::thread b([&] {
        tid = syscall(SYS_gettid);
        VelkReaderOpen(&second);
        done = true;
    });
    // Either the second open waits in the library, or it went past the held one.
    ASSERT_TRUE(waitFor([&] { return done || (tid != 0 && blocked(tid)); }));
    EXPECT_FALSE(done) << "the second open returned while the first was still inside hidapi";
    fakeHidRelease();
    a.join();
    b.join();

    EXPECT_EQ(fakeHidRecord().mostOpensAtOnce, 1);
    EXPECT_EQ(fakeHidRecord().opens, 2);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    VelkReaderClose(&first);
    VelkReaderClose(&second);
}
