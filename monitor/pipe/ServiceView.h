// The tray's side of the pipe while the service runs the watch: a thread that asks the service for the
// table's changes once every list refresh period (CycleTime2) and keeps them in a mirror, which the list
// window reads as it reads its own engine's table. While the service does not run or does not answer,
// the view says so and tries again every kServiceRetryPeriod; it never watches the server itself.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "monitor/Watch.h"
#include "monitor/pipe/PipeProtocol.h"
#include "monitor/pipe/TableDelta.h"
#include "platform/pipe.h"
#include "platform/timer.h"

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::pipe {

inline constexpr std::chrono::milliseconds kServiceRetryPeriod{3000};
// How long a reply to the table's changes may take before the service counts as not answering.
inline constexpr std::chrono::milliseconds kServiceAnswerWait{5000};
// How long a command's reply may take: the service waits for the server, which may be a distant
// computer that answers only after a network timeout.
inline constexpr std::chrono::milliseconds kCommandAnswerWait{120000};

class ServiceView {
public:
    // A new connection to the service's pipe, or null with why not.
    using Connector = std::function<std::unique_ptr<platform::PipeStream>(platform::PipeConnect& outcome)>;

    ServiceView(AppSettings& settings, Connector connect);
    // Stops the thread if it runs.
    ~ServiceView();
    ServiceView(const ServiceView&) = delete;
    ServiceView& operator=(const ServiceView&) = delete;

    // Run on the view's thread after every exchange, answered or not. Set it before Start. It may send
    // messages to the user-interface thread and wait for the answer.
    void SetRefresh(std::function<void()> refresh);
    void Start();
    // Ends the thread, cancelling an exchange in progress; waits at most about a second, answering
    // the messages the refresh sends meanwhile. False when the thread was left running (this object
    // must then stay alive until the process ends).
    bool Stop();

    // f(mirror, link) under the mirror's lock.
    template <typename F>
    auto Read(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(mirror_, link_);
    }
    ServiceLink Link() const;

    // A command (Disconnect, CloseFile, SettingsChanged) asked on a connection of its own, so that it
    // does not hold up the refreshes: the service's CommandResult code, or nothing when the service could
    // not be asked or gave no such answer. Blocks; for a worker thread.
    std::optional<std::uint32_t> Ask(const Request& command);

private:
    void Run();
    // One GetChanges on stream_, applied to the mirror; false when the link is lost.
    bool Exchange();
    // Waits period, or until Stop.
    void Sleep(std::chrono::milliseconds period);
    void SetLink(ServiceLink link);

    AppSettings& settings_;
    Connector connect_;
    std::function<void()> refresh_;

    mutable std::mutex mutex_;
    TableMirror mirror_;                         // under mutex_
    ServiceLink link_ = ServiceLink::Connecting; // under mutex_

    std::mutex streamMutex_;
    std::unique_ptr<platform::PipeStream> stream_; // its pointer under streamMutex_; used by the thread
    std::condition_variable wake_;
    bool stopping_ = false; // under streamMutex_

    std::thread thread_;
    std::atomic<bool> ended_{false};
    std::atomic<platform::ThreadKey> threadKey_{0};
    bool abandoned_ = false;
};

} // namespace glimmerfen::pipe
