// The option sheet (caption 57666): the five pages, Apply, OK, Cancel and Help.
#pragma once

#include <functional>
#include <string>

#include "settings/Paths.h"
#include "ui/framework/PropertySheet.h"
#include "ui/options/PropDisjunc.h"
#include "ui/options/PropLogChk.h"
#include "ui/options/PropNotices.h"
#include "ui/options/PropSetFlag.h"
#include "ui/options/PropThreadTimer.h"

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::ui {

// What the sheet uses: the settings it edits, where the INI file and the manual lie, the list
// window's topmost state to bring in line after "View Settings", and the watch that takes up the
// settings after every Apply.
struct OptionContext {
    AppSettings& settings;
    ProgramPaths paths;
    std::function<void()> applyTopmost;
    // After every Apply: the watch takes up the settings stored (priorities, events, the service's
    // INI file).
    std::function<void()> settingsApplied;
};

class CPropSheet : public CPropertySheet {
public:
    explicit CPropSheet(OptionContext context);

    // Apply: reads the pages whose window exists, stores and writes the settings, runs the side
    // effects (the list window's topmost state, the event writer), and disables the Apply button.
    void Apply();
    // OK: Apply when the Apply button is enabled, then close as Cancel does.
    virtual void ApplyAndClose();

    CPropSetFlag& ViewPage() noexcept { return view_; }
    CPropDisjunc& DisconnectPage() noexcept { return disconnect_; }
    CPropLogChk& LogPage() noexcept { return log_; }
    CPropThreadTimer& AdvancedPage() noexcept { return advanced_; }
    CPropNotices& NoticesPage() noexcept { return notices_; }

protected:
    bool OnCommand(WORD id) override;

private:
    OptionContext context_;
    CPropSetFlag view_;
    CPropDisjunc disconnect_;
    CPropLogChk log_;
    CPropThreadTimer advanced_;
    CPropNotices notices_;
};

} // namespace glimmerfen::ui
