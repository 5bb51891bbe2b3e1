#include "ui_support.h"

#include <commctrl.h>

#include <cstdio>
#include <map>

namespace glimmerfen::test {

namespace {

std::map<UINT_PTR, std::function<void()>>& Pending() {
    static std::map<UINT_PTR, std::function<void()>> pending;
    return pending;
}

void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    auto it = Pending().find(id);
    if (it == Pending().end()) {
        return;
    }
    std::function<void()> action = std::move(it->second);
    Pending().erase(it);
    action();
}

} // namespace

void RunSoon(std::function<void()> action, UINT delayMs) {
    const UINT_PTR id = ::SetTimer(nullptr, 0, delayMs, &RunPending);
    Pending()[id] = std::move(action);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) {
            return done();
        }
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

std::string WindowTextUtf8(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, wide.data(), length + 1);
    wide.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    if (wide.empty()) {
        return {};
    }
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

int CountThreadWindowsWithCaption(const std::string& captionUtf8) {
    struct Search {
        const std::string* caption;
        int count;
    } search{&captionUtf8, 0};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (::IsWindowVisible(hwnd) && WindowTextUtf8(hwnd) == *s->caption) {
                ++s->count;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

bool JapaneseUi() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT rect{x, y, x + width, y + height};
    ::MapDialogRect(dialog, &rect);
    return rect;
}

RECT ClientRectOf(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string ScreenshotDir() {
    char dir[MAX_PATH] = "";
    const DWORD length = ::GetEnvironmentVariableA("GLIMMERFEN_SHOT_DIR", dir, sizeof dir);
    return length > 0 && length < sizeof dir ? std::string(dir) : std::string();
}

bool HoldForScreenshot(const std::string& name, HWND window) {
    const std::string dir = ScreenshotDir();
    if (dir.empty() || window == nullptr) {
        return false;
    }
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpUntil([] { return false; }, 300);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    // Written under another name first, so that the script never reads half a file.
    const std::string temporary = dir + "/" + name + ".tmp";
    const std::string ready = dir + "/" + name + ".ready";
    const std::string done = dir + "/" + name + ".done";
    if (FILE* file = std::fopen(temporary.c_str(), "w")) {
        std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        std::fclose(file);
    }
    if (!::MoveFileExA(temporary.c_str(), ready.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return false;
    }
    return PumpUntil([&] { return ::GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

} // namespace glimmerfen::test
