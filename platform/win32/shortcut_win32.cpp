// Shortcuts on Win32: the shell's link object saved as a file, the Startup folder from the shell.
#include "platform/shortcut.h"

#include <string>

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "platform/win32/system_library.h"

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

// The shell's link object, made by the library that the machine's registration names, loaded from the
// system folder. CoCreateInstance would find the library through HKEY_CLASSES_ROOT, which merges in the
// user's own classes: any program of the user could register a library there, and it would be loaded into
// this program, which usually runs as administrator.
HRESULT CreateShellLink(void** link) {
    constexpr const wchar_t* kServerKey =
        L"SOFTWARE\\Classes\\CLSID\\{00021401-0000-0000-C000-000000000046}\\InprocServer32";
    wchar_t registered[MAX_PATH] = {};
    DWORD size = sizeof registered;
    std::wstring server = L"shell32.dll";
    // Only the file name is taken: the value may name its folder through the environment, which the user
    // sets, and the library is loaded from the system folder whatever it names.
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kServerKey, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, registered, &size) == ERROR_SUCCESS) {
        const std::wstring path = registered;
        const std::size_t slash = path.find_last_of(L"\\/");
        const std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
        if (!name.empty() && name.find_first_of(L"%:") == std::wstring::npos) {
            server = name;
        }
    }
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = LibraryFunction<GetClassObjectFn>(LoadSystemLibrary(server.c_str()), "DllGetClassObject");
    if (getClassObject == nullptr && server != L"shell32.dll") {
        getClassObject = LibraryFunction<GetClassObjectFn>(LoadSystemLibrary(L"shell32.dll"), "DllGetClassObject");
    }
    if (getClassObject == nullptr) {
        return E_NOINTERFACE;
    }
    ComPtr<IClassFactory> factory;
    const HRESULT hr = getClassObject(CLSID_ShellLink, IID_IClassFactory, factory.put());
    if (FAILED(hr)) {
        return hr;
    }
    return factory->CreateInstance(nullptr, IID_IShellLinkA, link);
}

} // namespace

bool CreateShortcut(const std::string& shortcutPath, const std::string& target, const std::string& description) {
    ComScope com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CreateShellLink(link.put()))) {
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
