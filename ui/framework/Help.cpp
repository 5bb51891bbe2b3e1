#include "ui/framework/Help.h"

#include "platform/exclusive_file.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "platform/win32/system_library.h"
#include "resource.h"
#include "ui/framework/HelpLogic.h"

namespace glimmerfen::ui {

namespace {

constexpr UINT kDisplayTopic = 0; // HH_DISPLAY_TOPIC
constexpr WORD kHtmlHelpAOrdinal = 14;

} // namespace

bool HtmlHelpBinding::Bind() {
    if (proc_ != nullptr) {
        return true;
    }
    if (failed_) {
        return false;
    }
    // The viewer from the system folder only. Its class's registration is not read: that view of the
    // registry merges in the user's own classes, which any program of the user may write, and this
    // program usually runs as administrator.
    library_ = platform::LoadSystemLibrary(L"hhctrl.ocx");
    if (library_ == nullptr) {
        failed_ = true;
        return false;
    }
    ++loadCount_;
    proc_ = reinterpret_cast<HtmlHelpProc>(
        reinterpret_cast<void*>(GetProcAddress(library_, MAKEINTRESOURCEA(kHtmlHelpAOrdinal))));
    if (proc_ == nullptr) {
        failed_ = true;
        return false;
    }
    return true;
}

HWND HtmlHelpBinding::Call(HWND caller, const std::string& file, UINT command, DWORD_PTR data) {
    if (!Bind()) {
        return nullptr;
    }
    return proc_(caller, file.c_str(), command, data);
}

HtmlHelpBinding& ProcessHtmlHelp() {
    static HtmlHelpBinding binding;
    return binding;
}

void CloseAllHelp() {
    constexpr UINT kCloseAll = 0x12; // HH_CLOSE_ALL
    if (ProcessHtmlHelp().Bound()) {
        ProcessHtmlHelp().Call(nullptr, std::string(), kCloseAll, 0);
    }
}

void ShowHelp(const std::string& exeDir, const std::string& appName, const std::string& topic) {
    std::string path = ManualToOpen(exeDir, platform::LoadText(IDS_MANUAL_FILE),
                                    [](const std::string& file) { return platform::FileExists(file); });
    if (!topic.empty()) {
        // The viewer's way of naming a page inside a compiled file.
        path += "::/" + topic;
    }
    if (ProcessHtmlHelp().Call(nullptr, path, kDisplayTopic, 0) == nullptr) {
        platform::ShowMessage(platform::LoadText(IDS_NO_HELP_FILE), appName, platform::MessageIcon::Warning);
    }
}

void ShowHelpAt(const std::string& topic, const std::string& appName) {
    char module[MAX_PATH * 2] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, module, sizeof module);
    std::string exeDir(module, length < sizeof module ? length : 0);
    exeDir.erase(exeDir.find_last_of("\\/") + 1);
    ShowHelp(exeDir, appName, topic);
}

} // namespace glimmerfen::ui
