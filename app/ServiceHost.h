// The watch without windows: what the service runs between its start and its stop.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/pipe.h"

#include "platform/service.h"

namespace glimmerfen {

struct AppSettings;
namespace platform {
class ServerPlatform;
}

struct ServiceHostContext {
    AppSettings& settings; // loaded from iniPath; read again whenever the file changes
    std::string iniPath;
    std::string exePath; // registered as the event source when events are switched on
    platform::ServerPlatform& server;
    std::string logPath;
    std::string appName;
    unsigned timerResolution = 1;
    std::string computer; // the watched server as the events name it
    // Opens the pipe the trays of this computer show the table through (its error code when it cannot,
    // which is told once and the watch goes on without it); empty: no pipe.
    std::function<std::unique_ptr<platform::PipeListener>(std::uint32_t& error)> listen;
};

// How often the INI file is looked at for a change.
inline constexpr std::chrono::milliseconds kSettingsCheckPeriod{1000};

// Starts the engine (poll, rules, log, events), reports the service running, and watches until Stop or
// pre-shutdown: meanwhile the trays connected to its pipe are answered, and the INI file's settings are taken up once
// it has changed, the monitor threads' priorities and the event writer with them. At the stop the engine ends, the
// lines that wait for a held log go to its side file, and the events still queued are written. Returns the service's
// exit code: 0, or 1 when a poll that never came back was left running.
int RunServiceHost(const ServiceHostContext& context, platform::ServiceControl& control);

} // namespace glimmerfen
