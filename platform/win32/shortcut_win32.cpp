// Shortcuts on Win32: the shell's link object saved as a file, the Startup folder from the shell.
#include "platform/shortcut.h"

#include <string>

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

namespace glimmerfen::platform {

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

} // namespace

bool CreateShortcut(const std::string& shortcutPath, const std::string& target, const std::string& description) {
    ComScope com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put()))) {
        return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put()))) {
        return false;
    }
    if (FAILED(link->SetPath(target.c_str())) || FAILED(link->SetDescription(description.c_str()))) {
        return false;
    }
    // The file name in UTF-16 from the ANSI code page, as long as it needs to be.
    const int length = MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, wide.data(), length) <= 0) {
        return false;
    }
    return SUCCEEDED(file->Save(wide.c_str(), TRUE));
}

std::string StartupShortcutPath(const std::string& fileName) {
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
    return std::string(path) + "\\" + fileName;
}

bool DeleteShortcut(const std::string& shortcutPath) {
    return DeleteFileA(shortcutPath.c_str()) != FALSE;
}

} // namespace glimmerfen::platform
