#include "app/StartupShortcut.h"

#include <string>

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "app/Settings.h"
#include "platform/notify.h"

namespace glimmerfen {

namespace {

// The component library for the calling thread, uninitialised only when this initialisation counted
// (a thread already in another apartment model keeps it as it was).
class ComScope {
public:
    ComScope() : hr_(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_ != nullptr) {
            p_->Release();
        }
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* operator->() const { return p_; }
    Interface* get() const { return p_; }
    void** put() { return reinterpret_cast<void**>(&p_); }

private:
    Interface* p_ = nullptr;
};

void CreateShortcut(const std::string& shortcutPath, const std::string& target) {
    ComScope com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put()))) {
        return;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put()))) {
        return;
    }
    if (FAILED(link->SetPath(target.c_str())) || FAILED(link->SetDescription(kShortcutDescription))) {
        return;
    }
    // The file name in UTF-16 from the ANSI code page, as long as it needs to be.
    const int length = MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        return;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, wide.data(), length) <= 0) {
        return;
    }
    file->Save(wide.c_str(), TRUE);
}

} // namespace

std::string StartupShortcutPath() {
    PIDLIST_ABSOLUTE folder = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_STARTUP, &folder)) || folder == nullptr) {
        return {};
    }
    char path[MAX_PATH] = {};
    const BOOL found = SHGetPathFromIDListA(folder, path);
    CoTaskMemFree(folder);
    if (!found || path[0] == '\0') {
        return {};
    }
    return std::string(path) + "\\" + kShortcutFileName;
}

void UpdateStartupShortcut(const AppSettings& settings, const std::string& exePath, const std::string& appName) {
    const std::string shortcutPath = StartupShortcutPath();
    if (settings.ChkStartUp.load() == 1) {
        if (!shortcutPath.empty()) {
            CreateShortcut(shortcutPath, exePath);
        }
        return;
    }
    if (shortcutPath.empty() || !DeleteFileA(shortcutPath.c_str())) {
        platform::ShowMessage(kShortcutDeletionFailed, appName, platform::MessageIcon::Warning);
    }
}

} // namespace glimmerfen
