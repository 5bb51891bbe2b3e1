// Reverse lookups through the system's resolver, and this computer's own names. ws2_32 is one of the libraries
// Windows always takes from its own folder, so it is linked as usual.
#include "platform/netnames.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <utility>

namespace glimmerfen::platform {

namespace {

// The name in one of the system's formats; empty when it cannot be had.
std::string ComputerNameIn(COMPUTER_NAME_FORMAT format) {
    DWORD size = 0;
    ::GetComputerNameExA(format, nullptr, &size); // asks for the size, terminator included
    if (size == 0) {
        return {};
    }
    std::string name(size, '\0');
    if (!::GetComputerNameExA(format, name.data(), &size)) {
        return {};
    }
    name.resize(size);
    return name;
}

} // namespace

std::string ThisComputerName() {
    return ComputerNameIn(ComputerNameNetBIOS);
}

std::vector<std::string> OwnComputerNames() {
    std::vector<std::string> names;
    for (const COMPUTER_NAME_FORMAT format :
         {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
        std::string name = ComputerNameIn(format);
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::optional<std::string> NameOfAddress(const std::string& address) {
    if (!IsNumericAddress(address)) {
        return std::nullopt;
    }
    static std::once_flag started;
    static bool ready = false;
    std::call_once(started, [] {
        WSADATA data{};
        ready = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    if (!ready) {
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
    const int result = ::getnameinfo(found->ai_addr, static_cast<socklen_t>(found->ai_addrlen), host, sizeof host,
                                     nullptr, 0, NI_NAMEREQD);
    ::freeaddrinfo(found);
    if (result != 0 || host[0] == '\0') {
        return std::nullopt;
    }
    return std::string(host);
}

} // namespace glimmerfen::platform
