#include "monitor/pipe/TrayConversation.h"

#include <utility>
#include <variant>

#include "monitor/AccessMonitor.h"
#include "monitor/EngineWatch.h"

namespace glimmerfen::pipe {
namespace {

std::uint32_t CodeOf(CommandOutcome outcome) {
    switch (outcome) {
    case CommandOutcome::Done:
        return 0;
    case CommandOutcome::Failed:
        return 1;
    case CommandOutcome::NotListed:
        break;
    }
    return kNotListed;
}

} // namespace

TrayConversation::TrayConversation(EngineWatch& watch, std::string computer, std::function<void()> settingsChanged)
    : watch_(watch), computer_(std::move(computer)), settingsChanged_(std::move(settingsChanged)) {}

Reply TrayConversation::Answer(const Request& request) {
    return std::visit([this](const auto& r) { return AnswerOne(r); }, request);
}

Reply TrayConversation::AnswerOne(const Hello&) {
    return HelloAnswer{computer_};
}

Reply TrayConversation::AnswerOne(const GetChanges& request) {
    TableDelta delta = watch_.Monitor().Read([&](const AccessTable* table, std::int32_t entryCount, std::int32_t) {
        TableDelta d = source_.Changes(request.generation, table);
        d.state.hasTable = table != nullptr;
        d.state.entryCount = entryCount;
        return d;
    });
    const WatchState state = watch_.State();
    delta.state.server = watch_.Monitor().LastServerState();
    delta.state.waitingLines = state.waitingLines;
    delta.state.cuts = state.cuts;
    return delta;
}

Reply TrayConversation::AnswerOne(const Disconnect& request) {
    // The names a tray sends pick a row of this table, or nothing is asked of the server.
    return CommandResult{MessageType::Disconnect,
                         CodeOf(watch_.DisconnectNow(request.entry.client, request.entry.user, request.log))};
}

Reply TrayConversation::AnswerOne(const CloseFile& request) {
    // The file's id is the one this table holds for the row's user and path now: what the tray names is
    // looked up, not taken on trust.
    return CommandResult{MessageType::CloseFile,
                         CodeOf(watch_.CloseFileNow(request.entry.client, request.entry.user, request.entry.path))};
}

Reply TrayConversation::AnswerOne(const SettingsChanged&) {
    if (settingsChanged_) {
        settingsChanged_();
    }
    return CommandResult{MessageType::SettingsChanged, 0};
}

} // namespace glimmerfen::pipe
