// Talks to a running velk_vcard's control channel (see tests/vcard/README.md).
#pragma once

#include <string>

namespace velk_test {

// Sends one command line to HOST:PORT and returns the reply line, or
// "err ..." when the card cannot be reached.
std::string vcardCommand(const std::string& endpoint, const std::string& command);

}  // namespace velk_test
