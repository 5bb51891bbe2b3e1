// The watch of a tray that is the service's window: the service polls, logs and runs the rules; this
// side shows the service's table through the pipe (ServiceView), asks the service for the row commands
// and looks up the names of the clients the service knows by address.
#pragma once

#include <memory>
#include <string>

#include "monitor/ClientNames.h"
#include "monitor/Watch.h"
#include "monitor/pipe/ServiceView.h"

namespace glimmerfen {
class Worker;
}

namespace glimmerfen::pipe {

class ServiceWatch final : public Watch {
public:
    // caption: of the box that tells a command the service could not be asked.
    ServiceWatch(AppSettings& settings, ServiceView::Connector connect, std::string caption,
                 ClientNames::Resolver resolver = {});
    // Stops the view if it runs. After an abandoned stop, what the call left running uses is kept.
    ~ServiceWatch() override;
    ServiceWatch(const ServiceWatch&) = delete;
    ServiceWatch& operator=(const ServiceWatch&) = delete;

    void Start(WatchHooks hooks) override;
    bool Stop() override;
    bool Abandoned() const override { return abandoned_; }

    // The counts are the service's while it answers; a service out of reach shows none.
    WatchState State() const override;
    // The service's table as the pipe last brought it; a service that does not answer has no entries to
    // pop the window up for, and its last rows stay.
    void Read(const EntryReader& read) const override;
    // Asked of the service on a connection of its own, which makes the server call and writes the line
    // and the event. When the service cannot be asked (it does not run or does not answer), the user is
    // told so in a box: nothing was done and nothing was logged.
    void Disconnect(const std::string& client, const std::string& user) override;
    void CloseFile(const std::string& client, const std::string& user, const std::string& path) override;
    // The INI file was written: the service reads it now rather than at its next look at the file.
    void SettingsApplied() override;
    std::string ClientDisplay(const std::string& client) override;

private:
    // tellUnanswered: a command the service did not answer is told in a box.
    void Ask(Request command, bool tellUnanswered);

    std::unique_ptr<ServiceView> view_;
    std::string caption_;
    ClientNames names_;
    // The commands, each on a connection of its own, in the order given.
    std::unique_ptr<Worker> commands_;
    bool abandoned_ = false;
};

} // namespace glimmerfen::pipe
