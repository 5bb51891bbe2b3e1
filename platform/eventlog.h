// The system's event log: the program as an event source whose messages live in its own executable.
#pragma once

#include <cstdint>
#include <memory>
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
// with EventMessageFile naming the executable and TypesSupported (error, warning, information).
enum class Registration {
    Done,     // written, or already naming this executable
    NoRights, // the key cannot be written (not elevated)
    Failed,   // another failure
};
// Writes the key unless it already names exePath.
Registration RegisterEventSource(const std::string& exePath);
// Removes the key; Done also when there was none.
Registration UnregisterEventSource();

} // namespace glimmerfen::platform
