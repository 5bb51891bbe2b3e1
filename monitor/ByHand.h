// The row commands that end an access on the server by hand, with their log line and event: the list
// window's own engine and the service (asked by a tray) run the same.
#pragma once

#include <cstdint>
#include <string>

namespace glimmerfen {

struct AppSettings;
class AccessLog;
class EventReporter;
namespace platform {
class ServerPlatform;
}

// What a command uses: what outlives the window or the pipe's client that asked for it. log and events
// may be null (nothing written).
struct ByHandContext {
    platform::ServerPlatform& server;
    AppSettings& settings;
    AccessLog* log;
    EventReporter* events;
};

// Ends the sessions of client and user (of every client of the user when client is empty, as for an
// open-file row) and writes a disconnect line with "Disconnect manually" or the server's error text,
// and its event. Empty on success, else that error text.
std::string DisconnectByHand(const ByHandContext& context, const std::string& client, const std::string& user);

// Closes the open file fileId and writes a disconnect line with the file's path and the outcome, and its
// event. Empty on success, else the server's error text.
std::string CloseFileByHand(const ByHandContext& context, const std::string& client, const std::string& user,
                            const std::string& path, std::uint32_t fileId);

} // namespace glimmerfen
