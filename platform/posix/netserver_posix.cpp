#include "platform/netserver.h"

namespace glimmerfen::platform {

namespace {

// A system without file sharing: no sessions, no open files, nothing to close.
class NoServer final : public ServerPlatform {
public:
    std::uint32_t SessionRound(std::uint32_t&, RecordList<SessionRecord>&) override { return kNetSuccess; }
    std::uint32_t OpenFileRound(const std::string&, std::uint64_t&, RecordList<OpenFileRecord>&) override {
        return kNetSuccess;
    }
    std::uint32_t DeleteSession(const std::optional<std::string>&, const std::string&) override {
        return kErrorNotSupported;
    }
};

} // namespace

ServerPlatform& LocalServer() {
    static NoServer server;
    return server;
}

ServerPlatform& ServerFor(const std::string&) {
    return LocalServer();
}

} // namespace glimmerfen::platform
