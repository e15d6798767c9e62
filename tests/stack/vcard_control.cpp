#include "vcard_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace velk_test {

std::string vcardCommand(const std::string& endpoint, const std::string& command) {
    const auto colon = endpoint.rfind(':');
    if (colon == std::string::npos) return "err bad endpoint " + endpoint;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(std::atoi(endpoint.c_str() + colon + 1)));
    if (inet_pton(AF_INET, endpoint.substr(0, colon).c_str(), &addr.sin_addr) != 1) {
        return "err bad endpoint " + endpoint;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return "err socket";
    std::string reply = "err no reply";
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string line = command + "\n";
        if (send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
            std::string in;
            char c;
            while (recv(fd, &c, 1, 0) == 1 && c != '\n') in += c;
            if (!in.empty()) reply = in;
        }
    } else {
        reply = "err cannot connect to " + endpoint;
    }
    close(fd);
    return reply;
}

}  // namespace velk_test
