#include "platform/win32/system_library.h"

#include <string>

namespace glimmerfen::platform {

namespace {

std::string FolderFile(UINT (*folderOf)(LPSTR, UINT), const char* name) {
    char folder[MAX_PATH] = {};
    const UINT length = folderOf(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    std::string path(folder, length);
    if (path.back() != '\\') {
        path += '\\';
    }
    return path + name;
}

} // namespace

std::string SystemFolderFile(const char* name) {
    return FolderFile([](LPSTR folder, UINT size) { return GetSystemDirectoryA(folder, size); }, name);
}

std::string WindowsFolderFile(const char* name) {
    return FolderFile([](LPSTR folder, UINT size) { return GetWindowsDirectoryA(folder, size); }, name);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE library = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return library;
    }
    // Systems without the search flags refuse the flag itself. Name the file by its full path in the
    // system folder instead; the altered search path makes the libraries it needs come from there too.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool RestrictLibrarySearchToSystemFolder() {
    // Looked up rather than imported, so that the program still starts where kernel32 lacks it.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto set =
        LibraryFunction<SetDefaultDllDirectoriesFn>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    return set != nullptr && set(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

} // namespace glimmerfen::platform
