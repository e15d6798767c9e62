// velk_vcard: a virtual smart card for the vpcd reader driver, driven by a
// script and steered through a control port. See README.md.
#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "card.h"
#include "control.h"
#include "script.h"

namespace {

volatile sig_atomic_t stopRequested = 0;
void onStopSignal(int) { stopRequested = 1; }

struct Options {
    std::string host = "127.0.0.1";
    long port = -1;
    std::string script;
    long controlPort = 0;
    std::string controlFile;
    double patience = 20;
    bool verbose = false;
};

int usage() {
    std::fprintf(stderr,
                 "usage: velk_vcard --port DRIVER_PORT --script FILE [--host ADDR]\n"
                 "                  [--control-port N] [--control-file FILE]\n"
                 "                  [--patience SECONDS] [--verbose]\n");
    return 2;
}

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--verbose" || a == "-v") {
            o.verbose = true;
        } else if (!hasValue) {
            return false;
        } else if (a == "--port") {
            o.port = std::strtol(argv[++i], nullptr, 0);
        } else if (a == "--host") {
            o.host = argv[++i];
        } else if (a == "--script") {
            o.script = argv[++i];
        } else if (a == "--control-port") {
            o.controlPort = std::strtol(argv[++i], nullptr, 0);
        } else if (a == "--control-file") {
            o.controlFile = argv[++i];
        } else if (a == "--patience") {
            o.patience = std::strtod(argv[++i], nullptr);
        } else {
            return false;
        }
    }
    return o.port > 0 && o.port < 65536 && !o.script.empty() && o.controlPort >= 0 &&
           o.controlPort < 65536 && o.patience > 0;
}

// Written under a temporary name and renamed, so a reader never sees half.
bool writeControlFile(const std::string& path, std::uint16_t port) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp);
        f << "127.0.0.1:" << port << "\n";
        if (!f) return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

// Runs one control command. Returns false when it must wait for the card to
// settle (it then stays first in the queue, marked as started).
bool execute(vcard::Card& card, vcard::ControlServer::Command& c, std::string& reply, bool& quit) {
    const std::string& line = c.line;
    if (c.started) {
        reply =
            card.state() == vcard::Card::State::Inserted
                ? "ok inserted"
                : "err driver on port " + std::to_string(card.port()) + " did not take the card";
        return true;
    }
    if (line == "status") {
        reply = card.state() == vcard::Card::State::Inserted ? "inserted" : "removed";
    } else if (line == "remove") {
        card.remove();
        reply = "ok removed";
    } else if (line == "insert" || line.compare(0, 7, "insert ") == 0) {
        const std::string path = line.size() > 7 ? line.substr(7) : "";
        if (path.empty()) {
            card.insert();
        } else {
            vcard::Script s;
            std::string error;
            if (!vcard::Script::load(path, s, error)) {
                reply = "err " + error;
                return true;
            }
            card.insert(std::move(s));
        }
        c.started = true;
        return false;
    } else if (line == "quit") {
        reply = "ok";
        quit = true;
    } else {
        reply = "err unknown command: " + line;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseArgs(argc, argv, o)) return usage();
    signal(SIGPIPE, SIG_IGN);
    // TERM ends the loop so that the program exits normally (and a sanitizer
    // build still reports at exit).
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    vcard::Script script;
    std::string error;
    if (!vcard::Script::load(o.script, script, error)) {
        std::fprintf(stderr, "velk_vcard: %s\n", error.c_str());
        return 2;
    }
    vcard::ControlServer control;
    if (!control.listen(static_cast<std::uint16_t>(o.controlPort), error)) {
        std::fprintf(stderr, "velk_vcard: %s\n", error.c_str());
        return 1;
    }
    if (!o.controlFile.empty() && !writeControlFile(o.controlFile, control.port())) {
        std::fprintf(stderr, "velk_vcard: cannot write %s\n", o.controlFile.c_str());
        return 1;
    }
    if (o.verbose) std::fprintf(stderr, "velk_vcard: control on 127.0.0.1:%u\n", control.port());

    const auto patience = std::chrono::milliseconds(static_cast<long long>(o.patience * 1000));
    vcard::Card card(o.host, static_cast<std::uint16_t>(o.port), std::move(script), patience,
                     o.verbose);
    card.insert();

    bool quit = false;
    while (!quit && !stopRequested) {
        card.step();
        // Commands run in order, each once the card has settled.
        auto& queue = control.pending();
        while (!queue.empty() && !quit && card.settled()) {
            std::string reply;
            if (!execute(card, queue.front(), reply, quit)) break;
            const int client = queue.front().client;
            queue.pop_front();
            control.reply(client, reply);
        }
        if (quit) break;

        std::vector<pollfd> fds;
        control.addPollFds(fds);
        const bool linked = card.linked();
        if (linked) fds.push_back({card.driverFd(), POLLIN, 0});
        if (poll(fds.data(), fds.size(), card.pollTimeoutMs()) < 0) {
            if (errno == EINTR) continue;
            std::perror("velk_vcard: poll");
            return 1;
        }
        if (linked && fds.back().revents != 0) {
            card.onDriverReadable();
            fds.pop_back();
        }
        control.handle(fds);
    }
    return 0;
}
