#include "monitor/pipe/ServiceWatch.h"

#include <utility>

#include "monitor/Worker.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen::pipe {

ServiceWatch::ServiceWatch(AppSettings& settings, ServiceView::Connector connect, std::string caption,
                           ClientNames::Resolver resolver)
    : view_(std::make_unique<ServiceView>(settings, std::move(connect))), caption_(std::move(caption)),
      names_(std::move(resolver)), commands_(std::make_unique<Worker>("a command to the service")) {}

ServiceWatch::~ServiceWatch() {
    Stop();
    if (abandoned_) {
        // A command left waiting for the service still uses the view.
        (void)view_.release();
    }
}

void ServiceWatch::Start(WatchHooks hooks) {
    if (hooks.refresh) {
        view_->SetRefresh(std::move(hooks.refresh));
    }
    view_->Start();
}

bool ServiceWatch::Stop() {
    if (!view_->Stop()) {
        abandoned_ = true;
    }
    if (!commands_->Stop(kCommandGrace)) {
        abandoned_ = true;
    }
    return !abandoned_;
}

WatchState ServiceWatch::State() const {
    WatchState state;
    view_->Read([&](const TableMirror& mirror, ServiceLink link) {
        state.service = link;
        if (link == ServiceLink::Connected) {
            state.entryCount = mirror.State().entryCount;
            state.serverCode = mirror.State().server.code;
            state.waitingLines = static_cast<std::size_t>(mirror.State().waitingLines);
            state.cuts = mirror.State().cuts;
        }
    });
    return state;
}

void ServiceWatch::Read(const EntryReader& read) const {
    view_->Read([&](const TableMirror& mirror, ServiceLink link) {
        const int count = link == ServiceLink::Connected ? mirror.State().entryCount : 0;
        read(mirror.State().hasTable, count, [&mirror](const EntryVisit& visit) { mirror.ForEach(visit); });
    });
}

void ServiceWatch::Ask(Request command, bool tellUnanswered) {
    // The view outlives the command's thread: a command left running at the stop keeps it (abandoned_).
    // What the service answered is in its log; a command it never got is told here.
    const bool posted =
        commands_->Post([command = std::move(command), view = view_.get(), tellUnanswered, caption = caption_] {
            if (!view->Ask(command) && tellUnanswered) {
                platform::ShowMessage(platform::LoadText(IDS_TIP_SERVICE_NOT_ANSWERING), caption,
                                      platform::MessageIcon::Warning);
            }
        });
    (void)posted; // refused only once the watch stops, when no command is wanted any more
}

void ServiceWatch::Disconnect(const std::string& client, const std::string& user) {
    Ask(pipe::Disconnect{{client, user, std::string(), 0}, true}, true);
}

void ServiceWatch::CloseFile(const std::string& client, const std::string& user, const std::string& path) {
    Ask(pipe::CloseFile{{client, user, path, 0}}, true);
}

void ServiceWatch::SettingsApplied() {
    // A service that does not run reads the file when it starts.
    Ask(SettingsChanged{}, false);
}

std::string ServiceWatch::ClientDisplay(const std::string& client) {
    return names_.Display(client);
}

} // namespace glimmerfen::pipe
