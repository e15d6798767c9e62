// The hidapi functions the reader calls, replaying a script; see fake_hidapi.h.
#include "fake_hidapi.h"

#include <hidapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "script.h"

struct hid_device_ {
    int id;
};

namespace {

using fakehid::Step;

struct Read {
    int length;
    int timeout;
};

// Reads beyond this many are counted but not kept.
constexpr std::size_t kKeptReads = 1024;

struct State {
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
    int opensInside = 0;
    std::deque<Step> script;  // as set, for repeat
    std::deque<Step> steps;
    FakeHidRecord record{};
    std::vector<Read> reads;
    std::set<hid_device*> live;
};

State& state() {
    static State s;
    return s;
}

void logLine(const std::string& line) {
    const char* path = std::getenv("VELK_FAKE_HIDAPI_LOG");
    if (path == nullptr) {
        return;
    }
    // Opened per line so that a test may truncate the file between events.
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fake hidapi: %s\n", what);
    std::abort();
}

// Called with the mutex held.
void loadScriptFile() {
    const char* path = std::getenv("VELK_FAKE_HIDAPI_SCRIPT");
    if (path == nullptr) {
        return;
    }
    // C stdio rather than a file stream: the stream's C++ runtime code would
    // need a newer C library than the oldest userland that loads the stand-in.
    std::string text;
    if (FILE* f = std::fopen(path, "r")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            text.append(chunk, n);
        }
        std::fclose(f);
    }
    std::deque<Step> steps;
    if (!fakehid::parseScript(text, steps)) {
        fail("bad script file");
    }
    state().script = steps;
    state().steps = steps;
}

// The next step, after going back to the start at a repeat; false when there
// is none. Called with the mutex held.
bool nextStep(State& s, Step& step) {
    if (!s.steps.empty() && s.steps.front().kind == Step::kRepeat) {
        s.steps = s.script;
        // A script that repeats without doing anything first has no steps.
        if (s.steps.front().kind == Step::kRepeat) {
            s.steps.clear();
        }
    }
    if (s.steps.empty()) {
        return false;
    }
    step = s.steps.front();
    s.steps.pop_front();
    return true;
}

std::string serialText(const wchar_t* serial) {
    if (serial == nullptr) {
        return "-";
    }
    std::string s;
    for (; *serial != 0; ++serial) {
        s += static_cast<char>(*serial);
    }
    return s;
}

}  // namespace

extern "C" {

hid_device* hid_open(unsigned short vendor_id, unsigned short product_id,
                     const wchar_t* serial_number) {
    State& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    // Counted across the whole call, hold included: hidapi's own state is
    // only safe when opens come one at a time.
    ++s.opensInside;
    if (s.opensInside > s.record.mostOpensAtOnce) {
        s.record.mostOpensAtOnce = s.opensInside;
    }
    struct Leave {
        State& s;
        ~Leave() { --s.opensInside; }
    } leave{s};
    loadScriptFile();
    if (!s.steps.empty() && s.steps.front().kind == Step::kHold) {
        s.steps.pop_front();
        s.held = true;
        s.released.wait(lock, [&s] { return !s.held; });
    }
    ++s.record.opens;
    s.record.vendor = vendor_id;
    s.record.product = product_id;
    s.record.serialGiven = serial_number != nullptr;
    char line[64];
    std::snprintf(line, sizeof line, "open %04x %04x %s", vendor_id, product_id,
                  serialText(serial_number).c_str());
    logLine(line);
    if (!s.steps.empty() && s.steps.front().kind == Step::kAbsent) {
        s.steps.pop_front();
        return nullptr;
    }
    auto* device = new hid_device{s.record.opens};
    s.live.insert(device);
    ++s.record.liveDevices;
    return device;
}

int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds) {
    State& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.live.count(dev) == 0) {
        fail("read on a device that is not open");
    }
    ++s.record.reads;
    if (s.reads.size() < kKeptReads) {
        s.reads.push_back({static_cast<int>(length), milliseconds});
    }
    logLine("read " + std::to_string(length) + " " + std::to_string(milliseconds));
    int result = 0;
    Step step{};
    if (!nextStep(s, step)) {
        lock.unlock();
        int wait = milliseconds < 0 ? 1000 : milliseconds;
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        lock.lock();
    } else {
        if (step.kind == Step::kError || step.kind == Step::kAbsent) {
            result = -1;
        } else if (step.kind == Step::kFrame) {
            size_t n = step.bytes.size() < length ? step.bytes.size() : length;
            if (n > 0) {
                std::memcpy(data, step.bytes.data(), n);
            }
            result = static_cast<int>(n);
        }
    }
    logLine("read-end " + std::to_string(result));
    return result;
}

void hid_close(hid_device* dev) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.live.erase(dev) == 0) {
        fail("close of a device that is not open");
    }
    ++s.record.closes;
    --s.record.liveDevices;
    logLine("close");
    delete dev;
}

int fakeHidSetScript(const char* script) {
    std::deque<Step> steps;
    if (!fakehid::parseScript(script, steps)) {
        return 0;
    }
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.script = steps;
    s.steps = steps;
    int live = s.record.liveDevices;
    s.record = FakeHidRecord{};
    s.record.liveDevices = live;
    s.reads.clear();
    return 1;
}

FakeHidRecord fakeHidRecord(void) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.record;
}

int fakeHidReadTimeout(int index) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return index >= 0 && static_cast<size_t>(index) < s.reads.size() ? s.reads[index].timeout : -2;
}

int fakeHidReadLength(int index) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return index >= 0 && static_cast<size_t>(index) < s.reads.size() ? s.reads[index].length : -2;
}

int fakeHidHeld(void) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.held ? 1 : 0;
}

void fakeHidRelease(void) {
    State& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.held = false;
    }
    s.released.notify_all();
}

int fakeHidStepsLeft(void) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.steps.size());
}

}  // extern "C"
