// Parsing of the stand-in's script text.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace fakehid {

struct Step {
    enum Kind { kAbsent, kHold, kFrame, kTimeout, kError, kRepeat } kind;
    std::vector<unsigned char> bytes;  // of a frame
};

// False when a step is not understood.
bool parseScript(const std::string& text, std::deque<Step>& steps);

}  // namespace fakehid
