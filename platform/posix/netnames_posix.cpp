#include "platform/netnames.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace glimmerfen::platform {

std::string ThisComputerName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) {
        return {};
    }
    return host;
}

std::vector<std::string> OwnComputerNames() {
    std::string name = ThisComputerName();
    if (name.empty()) {
        return {};
    }
    return {std::move(name)};
}

std::optional<std::string> NameOfAddress(const std::string& address) {
    if (!IsNumericAddress(address)) {
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = AF_UNSPEC;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    char host[NI_MAXHOST] = {};
    const int result = ::getnameinfo(found->ai_addr, found->ai_addrlen, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    ::freeaddrinfo(found);
    if (result != 0 || host[0] == '\0') {
        return std::nullopt;
    }
    return std::string(host);
}

} // namespace glimmerfen::platform
