#include "ui/tray/Help.h"

#include "platform/notify.h"
#include "platform/strings.h"
#include "platform/win32/system_library.h"
#include "resource.h"

namespace glimmerfen::ui {

namespace {

// HTML Help's class: its registered in-process server is the viewer library.
constexpr const char* kHtmlHelpServerKey = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr UINT kDisplayTopic = 0; // HH_DISPLAY_TOPIC
constexpr WORD kHtmlHelpAOrdinal = 14;

// A path that names its drive or server: the loader takes exactly that file, and searches no folder.
bool IsFullPath(const char* path) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    return (letter(path[0]) && path[1] == ':' && separator(path[2])) || (separator(path[0]) && separator(path[1]));
}

HMODULE LoadRegisteredViewer() {
    // The default value, at most 260 bytes, terminated here whatever the registry holds.
    char path[MAX_PATH + 1] = {};
    LONG size = MAX_PATH;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, path, &size) != ERROR_SUCCESS || path[0] == '\0') {
        return nullptr;
    }
    // A bare or relative name would be looked for in the program's folder first: that is left to the
    // system folder below.
    if (!IsFullPath(path)) {
        return nullptr;
    }
    return LoadLibraryA(path);
}

} // namespace

bool HtmlHelpBinding::Bind() {
    if (proc_ != nullptr) {
        return true;
    }
    if (failed_) {
        return false;
    }
    library_ = LoadRegisteredViewer();
    if (library_ == nullptr) {
        library_ = platform::LoadSystemLibrary(L"hhctrl.ocx");
    }
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

void ShowHelp(const std::string& exeDir, const std::string& appName) {
    const std::string path = exeDir + kManualFileName;
    if (ProcessHtmlHelp().Call(nullptr, path, kDisplayTopic, 0) == nullptr) {
        platform::ShowMessage(platform::LoadText(IDS_NO_HELP_FILE), appName, platform::MessageIcon::Warning);
    }
}

} // namespace glimmerfen::ui
