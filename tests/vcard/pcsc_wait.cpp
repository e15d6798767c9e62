// velk_pcsc_wait: waits, within a bounded time, until pcscd answers, lists
// the readers asked for and shows each with a card present (or absent).
// Prints the reader names on success, or with --atr the ATR that each card
// gave pcscd (upper-case hex). Used by the fixture and by tests.
#include <winscard.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum class Want { Listed, Present, Absent };

int usage() {
    std::fprintf(stderr,
                 "usage: velk_pcsc_wait [--timeout SECONDS] [--readers N]\n"
                 "                      [--present [--atr]|--absent] [READER...]\n");
    return 2;
}

std::vector<std::string> listReaders(SCARDCONTEXT ctx) {
    DWORD len = 0;
    if (SCardListReaders(ctx, nullptr, nullptr, &len) != SCARD_S_SUCCESS) return {};
    std::vector<char> buf(len);
    if (SCardListReaders(ctx, nullptr, buf.data(), &len) != SCARD_S_SUCCESS) return {};
    std::vector<std::string> names;
    for (const char* p = buf.data(); p < buf.data() + len && *p != '\0'; p += std::strlen(p) + 1) {
        names.emplace_back(p);
    }
    return names;
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
    for (const auto& x : v) {
        if (x == s) return true;
    }
    return false;
}

long remainingMs(Clock::time_point deadline) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return ms > 0 ? static_cast<long>(ms) : 0;
}

// Waits until every reader is in the wanted card state; each one's ATR goes
// into atrs.
bool waitCards(SCARDCONTEXT ctx, const std::vector<std::string>& readers, Want want,
               Clock::time_point deadline, std::vector<std::string>& atrs) {
    std::vector<SCARD_READERSTATE> states(readers.size());
    for (std::size_t i = 0; i < readers.size(); ++i) {
        states[i] = SCARD_READERSTATE{};
        states[i].szReader = readers[i].c_str();
        states[i].dwCurrentState = SCARD_STATE_UNAWARE;
    }
    for (;;) {
        const LONG rv = SCardGetStatusChange(ctx, static_cast<DWORD>(remainingMs(deadline)),
                                             states.data(), static_cast<DWORD>(states.size()));
        if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) {
            std::fprintf(stderr, "velk_pcsc_wait: SCardGetStatusChange: %s\n",
                         pcsc_stringify_error(rv));
            return false;
        }
        bool done = true;
        for (auto& s : states) {
            const DWORD st = s.dwEventState;
            // A card counts once pcscd has its ATR: present and not mute.
            const bool present = (st & SCARD_STATE_PRESENT) && !(st & SCARD_STATE_MUTE);
            const bool absent = (st & SCARD_STATE_EMPTY) != 0;
            if ((want == Want::Present && !present) || (want == Want::Absent && !absent)) {
                done = false;
            }
            s.dwCurrentState = st & ~SCARD_STATE_CHANGED;
        }
        if (done) {
            for (const auto& s : states) {
                char hex[2 * MAX_ATR_SIZE + 1] = "";
                for (DWORD i = 0; i < s.cbAtr; ++i) std::sprintf(hex + 2 * i, "%02X", s.rgbAtr[i]);
                atrs.emplace_back(hex);
            }
            return true;
        }
        if (remainingMs(deadline) == 0) return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    double timeout = 20;
    std::size_t count = 0;
    Want want = Want::Listed;
    bool printAtrs = false;
    std::vector<std::string> named;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--timeout" && i + 1 < argc) {
            timeout = std::strtod(argv[++i], nullptr);
        } else if (a == "--readers" && i + 1 < argc) {
            count = std::strtoul(argv[++i], nullptr, 10);
        } else if (a == "--present") {
            want = Want::Present;
        } else if (a == "--atr") {
            printAtrs = true;
        } else if (a == "--absent") {
            want = Want::Absent;
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            named.push_back(a);
        }
    }
    if (printAtrs && want != Want::Present) return usage();
    if (count == 0) count = named.empty() ? 1 : named.size();
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(timeout * 1000));
    const auto pause = std::chrono::milliseconds(20);

    // The daemon may not be listening yet: keep asking until the deadline.
    SCARDCONTEXT ctx = 0;
    LONG rv;
    while ((rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx)) !=
           SCARD_S_SUCCESS) {
        if (remainingMs(deadline) == 0) {
            std::fprintf(stderr, "velk_pcsc_wait: no PC/SC daemon: %s\n", pcsc_stringify_error(rv));
            return 1;
        }
        std::this_thread::sleep_for(pause);
    }

    std::vector<std::string> readers;
    for (;;) {
        readers = listReaders(ctx);
        bool all = readers.size() >= count;
        for (const auto& n : named) all = all && contains(readers, n);
        if (all) break;
        if (remainingMs(deadline) == 0) {
            std::fprintf(stderr, "velk_pcsc_wait: readers not listed in time (have %zu)\n",
                         readers.size());
            SCardReleaseContext(ctx);
            return 1;
        }
        std::this_thread::sleep_for(pause);
    }
    if (!named.empty()) readers = named;
    readers.resize(count);

    int status = 0;
    std::vector<std::string> atrs;
    if (want != Want::Listed && !waitCards(ctx, readers, want, deadline, atrs)) {
        std::fprintf(stderr, "velk_pcsc_wait: card not %s in time\n",
                     want == Want::Present ? "present" : "absent");
        status = 1;
    }
    SCardReleaseContext(ctx);
    if (status == 0) {
        for (const auto& line : printAtrs ? atrs : readers) std::printf("%s\n", line.c_str());
    }
    return status;
}
