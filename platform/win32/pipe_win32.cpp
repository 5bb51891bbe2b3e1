#include "platform/pipe.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>

#include "platform/win32/handles.h"

namespace glimmerfen::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Full access for the members of Administrators and for SYSTEM, nobody else, nothing inherited.
constexpr const char* kPipeSecurity = "D:P(A;;GA;;;BA)(A;;GA;;;SY)";
constexpr DWORD kPipeBufferBytes = 64 * 1024;
// The most I/O one call of ReadFile or WriteFile is given.
constexpr std::size_t kChunkBytes = 1 << 20;

std::string PipePath(const std::string& name) {
    return "\\\\.\\pipe\\" + name;
}

// What is left of a wait that began with deadline, in the form WaitForMultipleObjects takes.
DWORD RemainingMs(std::chrono::milliseconds timeout, Clock::time_point deadline) {
    if (timeout.count() < 0) {
        return INFINITE;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, INFINITE - 1));
}

// One overlapped call on handle, ended when it completes, when cancel is set or at the deadline.
// start issues the call with the OVERLAPPED given and returns its BOOL.
template <typename Start>
PipeIo Overlapped(HANDLE handle, HANDLE cancel, std::chrono::milliseconds timeout, Clock::time_point deadline,
                  DWORD& transferred, Start&& start) {
    win32::UniqueHandle done(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        return PipeIo::Closed;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    transferred = 0;
    if (start(overlapped)) {
        return ::GetOverlappedResult(handle, &overlapped, &transferred, FALSE) ? PipeIo::Done : PipeIo::Closed;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_PIPE_CONNECTED) {
        return PipeIo::Done;
    }
    if (error != ERROR_IO_PENDING) {
        return PipeIo::Closed;
    }
    const HANDLE waits[2] = {done.get(), cancel};
    const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, RemainingMs(timeout, deadline));
    if (woke == WAIT_OBJECT_0) {
        return ::GetOverlappedResult(handle, &overlapped, &transferred, FALSE) ? PipeIo::Done : PipeIo::Closed;
    }
    // The call is cancelled and its end waited for: the OVERLAPPED and the buffer are this frame's.
    ::CancelIoEx(handle, &overlapped);
    DWORD ignored = 0;
    const bool finished = ::GetOverlappedResult(handle, &overlapped, &ignored, TRUE) != FALSE;
    if (finished && woke != WAIT_OBJECT_0 + 1) {
        // It completed as it was cancelled: the bytes moved count.
        transferred = ignored;
        return PipeIo::Done;
    }
    return woke == WAIT_OBJECT_0 + 1 ? PipeIo::Cancelled : PipeIo::TimedOut;
}

class Win32PipeStream final : public PipeStream {
public:
    // Each end is closed, never disconnected for another client: DisconnectNamedPipe would throw away
    // what the other end has not read yet (a refusal's reason, sent just before the end).
    explicit Win32PipeStream(win32::UniqueFile pipe)
        : pipe_(std::move(pipe)), cancel_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    PipeIo Read(char* data, std::size_t size, std::chrono::milliseconds timeout) override {
        const Clock::time_point deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds{0});
        while (size > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min(size, kChunkBytes));
            DWORD got = 0;
            const PipeIo io = Overlapped(pipe_.get(), cancel_.get(), timeout, deadline, got, [&](OVERLAPPED& o) {
                return ::ReadFile(pipe_.get(), data, chunk, nullptr, &o);
            });
            if (io != PipeIo::Done) {
                return io;
            }
            if (got == 0) {
                return PipeIo::Closed;
            }
            data += got;
            size -= got;
        }
        return PipeIo::Done;
    }

    PipeIo Write(std::string_view data, std::chrono::milliseconds timeout) override {
        const Clock::time_point deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds{0});
        while (!data.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min(data.size(), kChunkBytes));
            DWORD put = 0;
            const PipeIo io = Overlapped(pipe_.get(), cancel_.get(), timeout, deadline, put, [&](OVERLAPPED& o) {
                return ::WriteFile(pipe_.get(), data.data(), chunk, nullptr, &o);
            });
            if (io != PipeIo::Done) {
                return io;
            }
            if (put == 0) {
                return PipeIo::Closed;
            }
            data.remove_prefix(put);
        }
        return PipeIo::Done;
    }

    void Cancel() override { ::SetEvent(cancel_.get()); }

private:
    win32::UniqueFile pipe_;
    win32::UniqueHandle cancel_;
};

class Win32PipeListener final : public PipeListener {
public:
    Win32PipeListener(std::string path, win32::UniqueLocalMemory<PSECURITY_DESCRIPTOR> security)
        : path_(std::move(path)), security_(std::move(security)),
          cancel_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    // The next instance of the pipe; the first one also claims the name, so that a pipe of that name
    // made by some other process before makes this one fail rather than share it.
    bool MakeInstance(bool first, DWORD& error) {
        SECURITY_ATTRIBUTES attributes{};
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = security_.get();
        attributes.bInheritHandle = FALSE;
        const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        next_.reset(::CreateNamedPipeA(path_.c_str(), openMode,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                       PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes, kPipeBufferBytes, 0, &attributes));
        error = next_ ? 0 : ::GetLastError();
        return static_cast<bool>(next_);
    }

    std::unique_ptr<PipeStream> Accept() override {
        DWORD error = 0;
        if (!next_ && !MakeInstance(false, error)) {
            return nullptr;
        }
        while (::WaitForSingleObject(cancel_.get(), 0) != WAIT_OBJECT_0) {
            DWORD ignored = 0;
            const PipeIo io = Overlapped(next_.get(), cancel_.get(), kPipeNoLimit, Clock::now(), ignored,
                                         [&](OVERLAPPED& o) { return ::ConnectNamedPipe(next_.get(), &o); });
            if (io == PipeIo::Done) {
                return std::make_unique<Win32PipeStream>(std::move(next_));
            }
            if (io == PipeIo::Cancelled) {
                break;
            }
            // A client that came and went before it was taken: the instance is made ready again.
            ::DisconnectNamedPipe(next_.get());
        }
        return nullptr;
    }

    void Cancel() override { ::SetEvent(cancel_.get()); }

private:
    std::string path_;
    win32::UniqueLocalMemory<PSECURITY_DESCRIPTOR> security_;
    win32::UniqueHandle cancel_;
    win32::UniqueFile next_;
};

} // namespace

std::unique_ptr<PipeListener> ListenOnPipe(const std::string& name, std::uint32_t& error) {
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kPipeSecurity, SDDL_REVISION_1, &security, nullptr)) {
        error = ::GetLastError();
        return nullptr;
    }
    auto listener =
        std::make_unique<Win32PipeListener>(PipePath(name), win32::UniqueLocalMemory<PSECURITY_DESCRIPTOR>(security));
    DWORD made = 0;
    if (!listener->MakeInstance(true, made)) {
        error = made;
        return nullptr;
    }
    error = 0;
    return listener;
}

std::unique_ptr<PipeStream> ConnectToPipe(const std::string& name, std::chrono::milliseconds timeout,
                                          PipeConnect& outcome) {
    const std::string path = PipePath(name);
    const Clock::time_point deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds{0});
    for (;;) {
        // Identification only: the service may learn who asks, never act as this process.
        win32::UniqueFile pipe(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                             nullptr));
        if (pipe) {
            outcome = PipeConnect::Connected;
            return std::make_unique<Win32PipeStream>(std::move(pipe));
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            outcome = PipeConnect::Absent;
            return nullptr;
        }
        if (error == ERROR_ACCESS_DENIED) {
            outcome = PipeConnect::Denied;
            return nullptr;
        }
        if (error != ERROR_PIPE_BUSY) {
            outcome = PipeConnect::Failed;
            return nullptr;
        }
        const DWORD left = RemainingMs(timeout, deadline);
        if (left == 0 || !::WaitNamedPipeA(path.c_str(), left)) {
            outcome = PipeConnect::Busy;
            return nullptr;
        }
    }
}

} // namespace glimmerfen::platform
