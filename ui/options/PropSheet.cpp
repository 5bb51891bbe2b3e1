#include "ui/options/PropSheet.h"

#include <utility>

#include "platform/eventlog.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "resource.h"
#include "settings/Settings.h"
#include "settings/StartupShortcut.h"
#include "ui/framework/Help.h"

namespace glimmerfen::ui {

CPropSheet::CPropSheet(OptionContext context)
    : CPropertySheet(IDS_OPTION_CAPTION), context_(std::move(context)), view_(context_.settings),
      disconnect_(context_.settings), log_(context_.settings), advanced_(context_.settings),
      notices_(context_.settings) {
    AddPage(view_);
    AddPage(disconnect_);
    AddPage(log_);
    AddPage(advanced_);
    AddPage(notices_);
}

void CPropSheet::Apply() {
    OptionPages pages;
    if (view_.Exists()) {
        pages.view = view_.Values();
    }
    if (disconnect_.Exists()) {
        pages.disconnect = disconnect_.Values();
    }
    if (log_.Exists()) {
        pages.log = log_.Values();
    }
    if (advanced_.Exists()) {
        pages.advanced = advanced_.Values();
    }
    if (notices_.Exists()) {
        pages.notices = notices_.Values();
    }
    ApplyEffects effects;
    effects.updateStartupShortcut = [this] {
        UpdateStartupShortcut(context_.settings, context_.paths.exePath, context_.paths.appName);
    };
    effects.applyTopmost = context_.applyTopmost;
    effects.eventLogTicked = [this] {
        // The copy that now writes events registers itself as a start with events on does.
        if (platform::RegisterEventSource(context_.paths.exePath) == platform::RegisterOutcome::PathHasList) {
            platform::ShowMessage(platform::LoadText(IDS_EVENT_SOURCE_PATH_LIST), context_.paths.appName,
                                  platform::MessageIcon::Warning);
        }
    };
    // The flags go before the writing: a box shown meanwhile (the shortcut's) must not find Apply
    // still enabled.
    ClearModified();
    ApplyOptionPages(context_.settings, pages, effects, context_.paths.iniPath);
    if (context_.settingsApplied) {
        context_.settingsApplied();
    }
}

void CPropSheet::ApplyAndClose() {
    if (ApplyEnabled()) {
        Apply();
    }
    CloseLikeCancel();
}

bool CPropSheet::OnCommand(WORD id) {
    switch (id) {
    case kApplyCommand:
        if (ApplyEnabled()) {
            Apply();
        }
        return true;
    case IDOK:
        ApplyAndClose();
        return true;
    case IDHELP:
    case kHelpCommand: {
        // The manual's section of the page on top, in the pages' order.
        static constexpr const char* kTopics[] = {"options.html#view", "options.html#disconnect", "options.html#log",
                                                  "options.html#advanced"};
        const int page = Hwnd() != nullptr ? PropSheet_HwndToIndex(Hwnd(), PropSheet_GetCurrentPageHwnd(Hwnd())) : -1;
        ShowHelp(context_.paths.exeDir, context_.paths.appName,
                 page >= 0 && page < 4 ? kTopics[page] : std::string("options.html"));
        return true;
    }
    default:
        return false;
    }
}

} // namespace glimmerfen::ui
