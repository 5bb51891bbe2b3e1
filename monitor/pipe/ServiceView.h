// The tray's side of the pipe while the service runs the watch: a thread that asks the service for the
// table's changes once every list refresh period (CycleTime2) and keeps them in a mirror, which the list
// window reads as it reads its own engine's table. While the service does not run or does not answer,
// the view says so and tries again every kServiceRetryPeriod; it never watches the server itself.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "monitor/OwnedThread.h"
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
    // the messages the refresh sends meanwhile. False when the thread was left behind: it ends on its
    // own later with what it shares with this object, and refreshes nothing more (a refresh it is in
    // the middle of still ends), and the settings must outlive it. Later calls answer the same.
    bool Stop();

    // f(mirror, link) under the mirror's lock.
    template <typename F>
    auto Read(F&& f) const {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        return f(shared_->mirror, shared_->link);
    }

    // A command (Disconnect, CloseFile, SettingsChanged) asked on a connection of its own, so that it
    // does not hold up the refreshes: the service's CommandResult code, or nothing when the service could
    // not be asked or gave no such answer. Blocks; for a worker thread.
    [[nodiscard]] std::optional<std::uint32_t> Ask(const Request& command);

private:
    // What the view's thread uses: shared with it, so that a thread left behind by Stop ends later on its
    // own without touching this object.
    struct Shared {
        Shared(AppSettings& s, Connector c) : settings(s), connect(std::move(c)) {}
        AppSettings& settings;
        const Connector connect;
        std::function<void()> refresh; // set before the thread starts

        mutable std::mutex mutex;
        TableMirror mirror;                         // under mutex
        ServiceLink link = ServiceLink::Connecting; // under mutex

        std::mutex streamMutex;
        std::unique_ptr<platform::PipeStream> stream; // its pointer under streamMutex; used by the thread
        std::condition_variable wake;
        bool stopping = false; // under streamMutex
    };
    static void Run(Shared& s);
    // One GetChanges on the stream, applied to the mirror; false when the link is lost.
    static bool Exchange(Shared& s);
    // Waits period, or until Stop.
    static void Sleep(Shared& s, std::chrono::milliseconds period);
    static void SetLink(Shared& s, ServiceLink link);

    std::shared_ptr<Shared> shared_;
    OwnedThread thread_;
    bool stopped_ = false;
    bool ended_ = true; // what Stop answered
};

} // namespace glimmerfen::pipe
