#include "script.h"

#include <sstream>

namespace fakehid {

namespace {

bool parseStep(const std::string& line, std::deque<Step>& steps) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#') {
        return true;
    }
    Step step{};
    if (word == "absent") {
        step.kind = Step::kAbsent;
    } else if (word == "hold") {
        step.kind = Step::kHold;
    } else if (word == "timeout") {
        step.kind = Step::kTimeout;
    } else if (word == "error") {
        step.kind = Step::kError;
    } else if (word == "repeat") {
        step.kind = Step::kRepeat;
    } else if (word == "frame") {
        step.kind = Step::kFrame;
        unsigned int byte = 0;
        while (in >> std::hex >> byte) {
            if (byte > 0xFF) {
                return false;
            }
            step.bytes.push_back(static_cast<unsigned char>(byte));
        }
        if (!in.eof()) {
            return false;
        }
    } else {
        return false;
    }
    steps.push_back(step);
    return true;
}

}  // namespace

bool parseScript(const std::string& text, std::deque<Step>& steps) {
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, ';')) {
            if (!parseStep(part, steps)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace fakehid
