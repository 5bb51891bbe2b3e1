// The system's event log: the program as an event source whose messages live in its own executable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// <windows.h> defines RegisterEventSource as a macro for its A and W functions; here the name is ours.
#ifdef RegisterEventSource
#undef RegisterEventSource
#endif

namespace glimmerfen::platform {

enum class EventType {
    Information,
    Warning,
    Error,
};

// An opened event source. Report may be called from any one thread at a time.
class EventSink {
public:
    virtual ~EventSink() = default;
    // One event with its insertion strings (ANSI code page text, %1 first); false when the system
    // refused it.
    virtual bool Report(EventType type, std::uint32_t eventId, const std::vector<std::string>& strings) = 0;
};

// The source's name in the Application log.
inline constexpr const char* kEventSourceName = "Glimmerfen Checker";

// The event source of this program in the Application log; null when the system has none (on other
// systems than Windows, or when it refuses).
std::unique_ptr<EventSink> OpenEventSource();

// The registration of the source: HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\<source>
// with EventMessageFile naming the executable and TypesSupported (error, warning, information). The
// key has one name for every copy of the program, so each copy decides whether it is its own.
enum class Registration {
    Done,     // written or removed (or nothing to remove)
    NoRights, // the key cannot be written (not elevated)
    Failed,   // another failure
};

// What the key holds now.
struct SourceKey {
    std::string messageFile;    // EventMessageFile as written (";"-separated list), empty when missing
    bool typesComplete = false; // TypesSupported holds error, warning and information
};

// Whether a start (or the ticked option) should write the key.
enum class RegisterDecision {
    Write,       // missing, naming no file, naming a file that is gone, or this copy half written
    Keep,        // already this copy, or another copy that still exists
    PathHasList, // this copy's path holds ";", which the key would read as two files
};
RegisterDecision DecideRegistration(const std::optional<SourceKey>& key, const std::string& exePath,
                                    const std::function<bool(const std::string&)>& fileExists);

// Whether /unregister should remove the key.
enum class UnregisterDecision {
    Remove,     // it names this copy, or no file at all
    NoKey,      // nothing registered
    LeaveOther, // it names another program
};
UnregisterDecision DecideUnregistration(const std::optional<SourceKey>& key, const std::string& exePath);

// The files a message-file value names: split at ";", empty items skipped.
std::vector<std::string> MessageFiles(const std::string& value);
// Whether two Windows paths name the same file: the letter case and the kind of slash do not count.
bool SameWindowsPath(const std::string& a, const std::string& b);

// The key as it stands, nothing when there is none (or it cannot be read).
std::optional<SourceKey> ReadSourceKey();
// Whether a file named in the key exists (environment variables in it expanded).
bool MessageFileExists(const std::string& path);
// Writes the key for exePath.
Registration WriteSourceKey(const std::string& exePath);
// Removes the key; Done also when there was none.
Registration DeleteSourceKey();

// A start with events on, or the option just ticked: registers this copy when DecideRegistration says
// so. The outcome tells the caller what to say.
enum class RegisterOutcome {
    Written,
    Kept,
    PathHasList,
    NoRights,
    Failed,
};
RegisterOutcome RegisterEventSource(const std::string& exePath);

} // namespace glimmerfen::platform
