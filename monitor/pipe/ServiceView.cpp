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
    : settings_(settings), connect_(std::move(connect)) {}

ServiceView::~ServiceView() {
    Stop();
    if (abandoned_) {
        thread_.detach();
    }
}

void ServiceView::SetRefresh(std::function<void()> refresh) {
    refresh_ = std::move(refresh);
}

void ServiceView::Start() {
    thread_ = std::thread([this] {
        threadKey_ = platform::CurrentThreadKey();
        Run();
        ended_ = true;
    });
}

bool ServiceView::Stop() {
    if (!thread_.joinable() || abandoned_) {
        return !abandoned_;
    }
    {
        std::lock_guard<std::mutex> lock(streamMutex_);
        stopping_ = true;
        if (stream_) {
            stream_->Cancel();
        }
    }
    wake_.notify_all();
    if (!platform::WaitForThreadEnd(ended_, threadKey_, std::chrono::steady_clock::now() + kStopGrace)) {
        abandoned_ = true;
        return false;
    }
    thread_.join();
    return true;
}

ServiceLink ServiceView::Link() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return link_;
}

void ServiceView::SetLink(ServiceLink link) {
    std::lock_guard<std::mutex> lock(mutex_);
    link_ = link;
}

void ServiceView::Sleep(std::chrono::milliseconds period) {
    std::unique_lock<std::mutex> lock(streamMutex_);
    wake_.wait_for(lock, period, [this] { return stopping_; });
}

void ServiceView::Run() {
    for (;;) {
        bool connected = false;
        {
            std::lock_guard<std::mutex> lock(streamMutex_);
            if (stopping_) {
                return;
            }
            connected = stream_ != nullptr;
        }
        if (!connected) {
            platform::PipeConnect outcome = platform::PipeConnect::Failed;
            std::unique_ptr<platform::PipeStream> stream = connect_(outcome);
            std::lock_guard<std::mutex> lock(streamMutex_);
            stream_ = std::move(stream);
            if (stopping_) {
                return; // Stop found no stream to cancel
            }
            if (!stream_) {
                SetLink(LinkOf(outcome));
            }
        }
        const bool answered = stream_ && Exchange();
        if (!answered) {
            std::lock_guard<std::mutex> lock(streamMutex_);
            if (stream_) {
                SetLink(ServiceLink::NotAnswering);
                stream_.reset();
            }
        }
        if (refresh_) {
            refresh_();
        }
        const int period = settings_.CycleTime2.load();
        Sleep(!answered ? kServiceRetryPeriod : (period > 0 ? std::chrono::milliseconds(period) : kFallbackPeriod));
    }
}

bool ServiceView::Exchange() {
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = mirror_.Generation();
    }
    std::optional<Reply> reply = Call(*stream_, GetChanges{generation}, kServiceAnswerWait);
    auto* delta = reply ? std::get_if<TableDelta>(&*reply) : nullptr;
    if (delta == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    link_ = ServiceLink::Connected;
    // A delta the mirror cannot place empties it; the next request then gets the whole table.
    mirror_.Apply(std::move(*delta));
    return true;
}

std::optional<std::uint32_t> ServiceView::Ask(const Request& command) {
    platform::PipeConnect outcome = platform::PipeConnect::Failed;
    const std::unique_ptr<platform::PipeStream> stream = connect_(outcome);
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
