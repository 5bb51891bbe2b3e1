#include "monitor/pipe/ServiceView.h"

#include <variant>

#include "monitor/pipe/PipeServer.h"
#include "platform/notify.h"
#include "settings/Settings.h"

namespace glimmerfen::pipe {
namespace {

constexpr std::chrono::milliseconds kStopGrace{1000};
// A refresh period that is no period: the list's own refresh does not run then either, but the view
// still looks at the service now and then.
constexpr std::chrono::milliseconds kFallbackPeriod{1000};

// Sends request on stream and reads the reply, waiting at most wait for it.
std::optional<Reply> Call(platform::PipeStream& stream, const Request& request, std::chrono::milliseconds wait) {
    if (stream.Write(EncodeRequest(request), kReplyWait) != platform::PipeIo::Done) {
        return std::nullopt;
    }
    std::string frame;
    const FrameRead read = ReadFrame(stream, kMaxReplyBytes, wait, frame);
    if (read.io != platform::PipeIo::Done || read.refusal != Refusal::None) {
        return std::nullopt;
    }
    Decoded<Reply> decoded = DecodeReply(frame);
    return std::move(decoded.message);
}

ServiceLink LinkOf(platform::PipeConnect outcome) {
    return outcome == platform::PipeConnect::Absent ? ServiceLink::NotRunning : ServiceLink::NotAnswering;
}

} // namespace

ServiceView::ServiceView(AppSettings& settings, Connector connect)
    : shared_(std::make_shared<Shared>(settings, std::move(connect))), thread_("the service's view") {}

ServiceView::~ServiceView() {
    Stop();
}

void ServiceView::SetRefresh(std::function<void()> refresh) {
    shared_->refresh = std::move(refresh);
}

void ServiceView::Start() {
    thread_.Start([shared = shared_] { Run(*shared); });
}

bool ServiceView::Stop() {
    if (!thread_.Started() || stopped_) {
        return ended_;
    }
    stopped_ = true;
    {
        std::lock_guard<std::mutex> lock(shared_->streamMutex);
        shared_->stopping = true;
        if (shared_->stream) {
            shared_->stream->Cancel();
        }
    }
    shared_->wake.notify_all();
    ended_ = thread_.WaitUntil(std::chrono::steady_clock::now() + kStopGrace);
    return ended_;
}

void ServiceView::SetLink(Shared& s, ServiceLink link) {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.link = link;
}

void ServiceView::Sleep(Shared& s, std::chrono::milliseconds period) {
    std::unique_lock<std::mutex> lock(s.streamMutex);
    s.wake.wait_for(lock, period, [&s] { return s.stopping; });
}

void ServiceView::Run(Shared& s) {
    for (;;) {
        bool connected = false;
        {
            std::lock_guard<std::mutex> lock(s.streamMutex);
            if (s.stopping) {
                return;
            }
            connected = s.stream != nullptr;
        }
        if (!connected) {
            platform::PipeConnect outcome = platform::PipeConnect::Failed;
            std::unique_ptr<platform::PipeStream> stream = s.connect(outcome);
            std::lock_guard<std::mutex> lock(s.streamMutex);
            s.stream = std::move(stream);
            if (s.stopping) {
                return; // Stop found no stream to cancel
            }
            if (!s.stream) {
                SetLink(s, LinkOf(outcome));
            }
        }
        const bool answered = s.stream && Exchange(s);
        {
            std::lock_guard<std::mutex> lock(s.streamMutex);
            if (!answered && s.stream) {
                SetLink(s, ServiceLink::NotAnswering);
                s.stream.reset();
            }
            if (s.stopping) {
                return; // the exchange was cancelled: its owner no longer waits for a refresh
            }
        }
        if (s.refresh) {
            s.refresh();
        }
        const int period = s.settings.CycleTime2.load();
        Sleep(s, !answered ? kServiceRetryPeriod : (period > 0 ? std::chrono::milliseconds(period) : kFallbackPeriod));
    }
}

bool ServiceView::Exchange(Shared& s) {
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        generation = s.mirror.Generation();
    }
    std::optional<Reply> reply = Call(*s.stream, GetChanges{generation}, kServiceAnswerWait);
    auto* delta = reply ? std::get_if<TableDelta>(&*reply) : nullptr;
    if (delta == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    s.link = ServiceLink::Connected;
    // A delta the mirror cannot place empties it; the next request then gets the whole table.
    s.mirror.Apply(std::move(*delta));
    return true;
}

std::optional<std::uint32_t> ServiceView::Ask(const Request& command) {
    platform::PipeConnect outcome = platform::PipeConnect::Failed;
    const std::unique_ptr<platform::PipeStream> stream = shared_->connect(outcome);
    if (!stream) {
        return std::nullopt;
    }
    const std::optional<Reply> reply = Call(*stream, command, kCommandAnswerWait);
    const auto* result = reply ? std::get_if<CommandResult>(&*reply) : nullptr;
    if (result == nullptr) {
        return std::nullopt;
    }
    return result->code;
}

} // namespace glimmerfen::pipe
