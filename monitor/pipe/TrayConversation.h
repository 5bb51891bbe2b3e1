// What the service answers one connected tray: the table as changes since what it sent this tray last,
// and the row commands, carried out by the service's own watch (one poller of the server, one writer of
// the log).
#pragma once

#include <functional>

#include "monitor/pipe/PipeServer.h"
#include "monitor/pipe/TableDelta.h"

namespace glimmerfen {
class EngineWatch;
}

namespace glimmerfen::pipe {

// The answer to a command about a row the service's table no longer lists.
inline constexpr std::uint32_t kNotListed = 2;

class TrayConversation final : public PipeConversation {
public:
    // computer: the watched computer as Hello answers it. settingsChanged: a tray wrote the INI file.
    TrayConversation(EngineWatch& watch, std::string computer, std::function<void()> settingsChanged);
    Reply Answer(const Request& request) override;

private:
    Reply AnswerOne(const Hello&);
    Reply AnswerOne(const GetChanges& request);
    Reply AnswerOne(const Disconnect& request);
    Reply AnswerOne(const CloseFile& request);
    Reply AnswerOne(const SettingsChanged&);

    EngineWatch& watch_;
    std::string computer_;
    std::function<void()> settingsChanged_;
    DeltaSource source_;
};

} // namespace glimmerfen::pipe
