#include "monitor/ByHand.h"

#include "monitor/EventReporter.h"
#include "monitor/ServerAccess.h"
#include "monitor/log/AccessLog.h"
#include "platform/eventlog.h"
#include "platform/strings.h"
#include "res/event_ids.h"
#include "res/resource.h"
#include "settings/Settings.h"

namespace glimmerfen {
namespace {

// The event of a disconnection or file closing by hand (error: the server's result, empty on success).
void ReportByHand(const ByHandContext& t, bool fileClosed, const std::string& client, const std::string& user,
                  const std::string& path, const std::string& error, const std::string& message) {
    if (t.events == nullptr || t.settings.EventLog.load() == 0 || !AccessLog::RecordsDisconnections(t.settings)) {
        return;
    }
    EventFields fields;
    fields.client = client;
    fields.user = user;
    fields.path = path;
    fields.message = message;
    const std::uint32_t id = fileClosed ? (error.empty() ? kEventFileClosed : kEventFileCloseFailed)
                                        : (error.empty() ? kEventDisconnectedByHand : kEventDisconnectFailed);
    t.events->Post(error.empty() ? platform::EventType::Information : platform::EventType::Error, id, fields);
}

} // namespace

std::string DisconnectByHand(const ByHandContext& context, const std::string& client, const std::string& user) {
    const std::string error = DisconnectAccess(context.server, client, user);
    const std::string message = error.empty() ? platform::LoadText(IDS_DISCONNECT_MANUAL) : error;
    if (context.log != nullptr) {
        // No lock is held here: a line that cannot be written is reported.
        context.log->WriteDisconnectLine(context.settings, client, user, message);
    }
    ReportByHand(context, false, client, user, {}, error, message);
    return error;
}

std::string CloseFileByHand(const ByHandContext& context, const std::string& client, const std::string& user,
                            const std::string& path, std::uint32_t fileId) {
    const std::string error = CloseOpenFile(context.server, fileId);
    const std::string message = error.empty() ? platform::LoadText(IDS_CLOSE_FILE_MANUAL) : error;
    if (context.log != nullptr) {
        context.log->WriteDisconnectLine(context.settings, client, user, message, path);
    }
    ReportByHand(context, true, client, user, path, error, message);
    return error;
}

} // namespace glimmerfen
