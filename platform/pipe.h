// A local named pipe between the service and the trays of the same computer: byte streams with
// bounded waits, and a listener that hands out one stream per client. Declared here so that what is
// said over a stream can be exercised without the operating system; only the Win32 layer opens real
// pipes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace glimmerfen::platform {

enum class PipeIo {
    Done,
    Closed,    // the other end went, or the stream failed
    TimedOut,  // nothing or not all of it came (or went) in time: the stream is no longer usable
    Cancelled, // Cancel was called
};

// No limit on a wait.
inline constexpr std::chrono::milliseconds kPipeNoLimit{-1};

// One connected client (on the service's side) or the connection to the service (on a tray's side).
class PipeStream {
public:
    virtual ~PipeStream() = default;
    // Reads exactly size bytes, waiting at most timeout for all of them.
    virtual PipeIo Read(char* data, std::size_t size, std::chrono::milliseconds timeout) = 0;
    // Writes all of data, waiting at most timeout for the other end to take it.
    virtual PipeIo Write(std::string_view data, std::chrono::milliseconds timeout) = 0;
    // From any thread: ends a Read or Write in progress, and every later one, with Cancelled.
    virtual void Cancel() = 0;
};

class PipeListener {
public:
    virtual ~PipeListener() = default;
    // Waits for the next client; null once Cancel was called or the pipe could not be made again.
    virtual std::unique_ptr<PipeStream> Accept() = 0;
    // From any thread: ends an Accept in progress, and every later one.
    virtual void Cancel() = 0;
};

enum class PipeConnect {
    Connected,
    Absent, // nobody listens under that name (the service is not running)
    Busy,   // every instance was taken for the whole wait
    Denied, // the pipe's security keeps this process out
    Failed,
};

// The pipe of that name ("\\.\pipe\" + name) for clients of this computer only (remote clients are
// rejected when they connect), open to the members of Administrators and to SYSTEM only. Null with
// the system's error code when it cannot be made (Win32 builds only).
std::unique_ptr<PipeListener> ListenOnPipe(const std::string& name, std::uint32_t& error);
// Connects to the pipe of that name, waiting at most timeout for a free instance (Win32 builds only).
std::unique_ptr<PipeStream> ConnectToPipe(const std::string& name, std::chrono::milliseconds timeout,
                                          PipeConnect& outcome);

} // namespace glimmerfen::platform
