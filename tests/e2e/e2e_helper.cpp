// A small console tool for the end-to-end tests: finds the windows of the running program by class and
// caption, posts messages to them, reads message boxes and presses their buttons. Texts on the command
// line and on the output are UTF-8.
//
//   e2e_helper wait <caption> <timeout-ms>             a dialog with this caption exists (exit 0) or not (1)
//   e2e_helper gone <caption> <timeout-ms>             no dialog with this caption exists any more
//   e2e_helper post <caption> <message> <wparam> <lparam>
//   e2e_helper box <caption> <timeout-ms>              waits for a message box, prints its text
//   e2e_helper press <caption> <button-id>             clicks a button of the message box
//   e2e_helper count <caption>                         prints how many dialogs carry the caption
//   e2e_helper classcount <class>                      prints how many top-level windows have the class
//   e2e_helper tray <caption> exists|delete           the tray icon (id 0) of that dialog: is it there (exit
//                                                     0) or not (1); or take it away, as a shell restart does
//   e2e_helper taskbarcreated <caption>                the dialog exists: broadcasts "TaskbarCreated" as the shell does
//   e2e_helper rect <caption>                          prints the dialog's screen rectangle: x y width height
//   e2e_helper classrect <class>                       the same for the first visible window of the class
//   e2e_helper list                                    prints every top-level window (class, visible, caption)
//   e2e_helper settext <caption> <id> <text>          sets the text of the dialog's control with this id (a
//                                                     control of a page of a sheet included)
//   e2e_helper gettext <caption> <id>                  prints that control's text
//   e2e_helper click <caption> <id>                    clicks that button
//   e2e_helper page <caption> <index>                  shows that page of a property sheet
//   e2e_helper ping <caption> <duration-ms>            sends the dialog WM_NULL every 50 ms for that long and
//                                                     prints how long its thread took to answer: count,
//                                                     median, 90th percentile and longest, in ms
//   e2e_helper text <caption> <control-id>             prints a control's text
//   e2e_helper tree <caption> <control-id>             prints a tree's items, one a line, each child
//                                                     after a TAB (each top-level item is expanded first)
//   e2e_helper rows <caption> <control-id>             prints a list view's first column, one row a line
//   e2e_helper selected <caption> <control-id>         prints the list view's first selected row (-1: none)
//                                                     and 1 or 0 as its dialog shows or not
//   e2e_helper type <caption> <control-id> <text>      posts the text to the control as typed characters
//   e2e_helper treeselect <caption> <control-id> <index> [<child-index>]
//                                                     selects a top-level item, or a child of it
//   e2e_helper rclick <caption> <control-id> <x> <y>   moves the cursor to that client point of the control
//                                                     and right-clicks there
//   e2e_helper notices                                 prints the text of each notice the tray shows now (a
//                                                     visible tooltip window's tool, read in the memory of the
//                                                     tray's process), one a line; exit 1 when none is up
//   e2e_helper texts <caption>                         prints the text of each child window, one a line (for
//                                                     controls without an id of their own, such as statics)
//   e2e_helper spawn <command-line>                    starts a program with exactly this command line, as a
//                                                     Run key entry does (no quotes added): the system looks
//                                                     for the program as it splits an unquoted path with
//                                                     blanks; prints the process id
//   e2e_helper version <file>                          prints a file's version resource as Windows reads it:
//                                                     "fixed a.b.c.d" for both numeric versions, then
//                                                     "<name>=<value>" for the strings of the language the
//                                                     resource's translation table names first
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <winver.h>

#include <cstring>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// The window's text as the system keeps it, without sending the window a message: a window whose
// thread is busy must not hang the search.
std::wstring WindowText(HWND hwnd) {
    wchar_t text[1024] = {};
    const int length = InternalGetWindowText(hwnd, text, 1024);
    return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// Top-level dialogs (class #32770) whose caption is this text; shown message boxes only when boxesOnly.
std::vector<HWND> FindDialogs(const std::wstring& caption, bool boxesOnly) {
    struct Search {
        std::wstring caption;
        bool boxesOnly;
        std::vector<HWND> found;
    } search{caption, boxesOnly, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (ClassName(hwnd) == L"#32770" && WindowText(hwnd) == s->caption &&
                (!s->boxesOnly || (GetDlgItem(hwnd, kMessageBoxTextId) != nullptr && IsWindowVisible(hwnd)))) {
                s->found.push_back(hwnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The first descendant of a window with this control id.
HWND FindControl(HWND dialog, int id) {
    struct Search {
        int id;
        HWND found = nullptr;
    } search{id, nullptr};
    EnumChildWindows(
        dialog,
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetDlgCtrlID(hwnd) == s->id) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A control of the first dialog with this caption.
HWND FindControl(const std::wstring& caption, int id) {
    const std::vector<HWND> found = FindDialogs(caption, false);
    return found.empty() ? nullptr : GetDlgItem(found.front(), id);
}

// The text of a tree item of another process: the record and its buffer are placed in that process.
bool TreeItemText(HWND tree, HANDLE process, HTREEITEM item, std::wstring& text) {
    constexpr int kChars = 1024;
    const SIZE_T size = sizeof(TVITEMW) + kChars * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) {
        return false;
    }
    TVITEMW record{};
    record.mask = TVIF_TEXT;
    record.hItem = item;
    record.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(TVITEMW));
    record.cchTextMax = kChars;
    wchar_t buffer[kChars] = {};
    const bool ok = WriteProcessMemory(process, remote, &record, sizeof record, nullptr) &&
                    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote)) &&
                    ReadProcessMemory(process, record.pszText, buffer, sizeof buffer, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    buffer[kChars - 1] = L'\0';
    text = buffer;
    return ok;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, WPARAM which) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(item)));
}

// Every child window's text, in the order the dialog manager created them.
std::string ChildTexts(HWND dialog) {
    std::string out;
    EnumChildWindows(
        dialog,
        [](HWND hwnd, LPARAM param) -> BOOL {
            *reinterpret_cast<std::string*>(param) += ToUtf8(WindowText(hwnd)) + "\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

// The version resource of a file through the calls Explorer's Properties make. Empty when the file has none.
std::string VersionResource(const std::wstring& file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<unsigned char> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        return {};
    }
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    auto quad = [](DWORD high, DWORD low) {
        return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) +
               "." + std::to_string(LOWORD(low));
    };
    std::string out = "fixed " + quad(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + " " +
                      quad(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + "\n";
    struct Translation {
        WORD language;
        WORD codePage;
    };
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < sizeof(Translation)) {
        return out;
    }
    const auto* translation = static_cast<const Translation*>(value);
    wchar_t block[64];
    std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
    for (const wchar_t* name : {L"FileDescription", L"FileVersion", L"InternalName", L"OriginalFilename",
                                L"ProductName", L"ProductVersion", L"CompanyName", L"LegalCopyright"}) {
        if (VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(), &value, &length) && length > 0) {
            out += ToUtf8(name) + "=" + ToUtf8(static_cast<const wchar_t*>(value)) + "\n";
        }
    }
    return out;
}

int Usage() {
    Print("usage: e2e_helper "
          "wait|gone|post|postchild|settext|gettext|click|page|box|press|count|classcount|tray|taskbarcreated|rect|"
          "classrect|list|notices|selected|text|tree|treeselect|rclick|texts|spawn|version|pipe|f1 ...\n");
    return 2;
}

} // namespace

int main() {
    // Lines end in LF alone, as the scripts that read them expect.
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) {
        return Usage();
    }
    const std::wstring command = argv[1];
    auto number = [&](int index) { return std::wcstoll(argv[index], nullptr, 0); };

    if (command == L"list") {
        EnumWindows(
            [](HWND hwnd, LPARAM) -> BOOL {
                Print(ToUtf8(ClassName(hwnd)) + "\t" + (IsWindowVisible(hwnd) ? "visible" : "hidden") + "\t" +
                      ToUtf8(WindowText(hwnd)) + "\n");
                return TRUE;
            },
            0);
        return 0;
    }
    if (command == L"notices") {
        // The shell shows a notice as a balloon tooltip of its tray: the text is its tool's.
        std::vector<HWND> tips;
        EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                if (ClassName(hwnd) == L"tooltips_class32" && IsWindowVisible(hwnd)) {
                    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&tips));
        std::string out;
        for (HWND tip : tips) {
            DWORD processId = 0;
            GetWindowThreadProcessId(tip, &processId);
            HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
            if (process == nullptr) {
                continue;
            }
            constexpr int kChars = 1024;
            const SIZE_T size = sizeof(TTTOOLINFOW) + kChars * sizeof(wchar_t);
            void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            if (remote != nullptr) {
                auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(TTTOOLINFOW));
                TTTOOLINFOW tool{};
                tool.cbSize = sizeof tool;
                wchar_t text[kChars] = {};
                if (WriteProcessMemory(process, remote, &tool, sizeof tool, nullptr) &&
                    SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(remote)) &&
                    ReadProcessMemory(process, remote, &tool, sizeof tool, nullptr)) {
                    tool.lpszText = remoteText;
                    if (WriteProcessMemory(process, remote, &tool, sizeof tool, nullptr) &&
                        WriteProcessMemory(process, remoteText, text, sizeof text, nullptr)) {
                        SendMessageW(tip, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote));
                        ReadProcessMemory(process, remoteText, text, sizeof text, nullptr);
                        text[kChars - 1] = L'\0';
                        if (text[0] != L'\0') {
                            out += ToUtf8(text) + "\n";
                        }
                    }
                }
                VirtualFreeEx(process, remote, 0, MEM_RELEASE);
            }
            CloseHandle(process);
        }
        Print(out);
        return out.empty() ? 1 : 0;
    }
    if (argc < 3) {
        return Usage();
    }
    const std::wstring caption = argv[2];
    if (command == L"spawn") {
        std::wstring line = caption;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            Print("error " + std::to_string(GetLastError()) + "\n");
            return 1;
        }
        Print(std::to_string(process.dwProcessId) + "\n");
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 0;
    }
    if (command == L"version") {
        const std::string resource = VersionResource(caption);
        Print(resource);
        return resource.empty() ? 1 : 0;
    }
    if (command == L"texts") {
        const std::vector<HWND> found = FindDialogs(caption, false);
        if (found.empty()) {
            return 1;
        }
        Print(ChildTexts(found.front()));
        return 0;
    }
    if (command == L"classcount") {
        struct Count {
            std::wstring className;
            int found = 0;
        } count{caption, 0};
        EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                auto* c = reinterpret_cast<Count*>(param);
                if (ClassName(hwnd) == c->className) {
                    ++c->found;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        Print(std::to_string(count.found) + "\n");
        return 0;
    }
    if (command == L"tray" && argc >= 4) {
        const std::vector<HWND> found = FindDialogs(caption, false);
        if (found.empty()) {
            return 2;
        }
        NOTIFYICONDATAW icon;
        std::memset(&icon, 0, sizeof icon);
        icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
        icon.hWnd = found.front();
        icon.uID = 0;
        // Modifying nothing succeeds exactly when the icon exists.
        const DWORD action = std::wstring(argv[3]) == L"delete" ? NIM_DELETE : NIM_MODIFY;
        return Shell_NotifyIconW(action, &icon) ? 0 : 1;
    }
    if (command == L"taskbarcreated") {
        const std::vector<HWND> found = FindDialogs(caption, false);
        const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
        return !found.empty() && message != 0 && PostMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
    }
    if (command == L"rect" || command == L"classrect") {
        HWND window = nullptr;
        if (command == L"rect") {
            const std::vector<HWND> found = FindDialogs(caption, false);
            window = found.empty() ? nullptr : found.front();
        } else {
            struct Search {
                std::wstring className;
                HWND found = nullptr;
            } search{caption, nullptr};
            EnumWindows(
                [](HWND hwnd, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    if (ClassName(hwnd) == s->className && IsWindowVisible(hwnd)) {
                        s->found = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            window = search.found;
        }
        RECT r{};
        if (window == nullptr || !GetWindowRect(window, &r)) {
            return 1;
        }
        Print(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
              std::to_string(r.bottom - r.top) + "\n");
        return 0;
    }
    if (command == L"count") {
        Print(std::to_string(FindDialogs(caption, false).size()) + "\n");
        return 0;
    }
    if (command == L"wait" && argc >= 4) {
        return WaitFor([&] { return !FindDialogs(caption, false).empty(); }, static_cast<int>(number(3))) ? 0 : 1;
    }
    if (command == L"gone" && argc >= 4) {
        return WaitFor([&] { return FindDialogs(caption, false).empty(); }, static_cast<int>(number(3))) ? 0 : 1;
    }
    if (command == L"ping" && argc >= 4) {
        const std::vector<HWND> found = FindDialogs(caption, false);
        if (found.empty()) {
            return 1;
        }
        using Clock = std::chrono::steady_clock;
        std::vector<double> answers;
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(number(3));
        while (Clock::now() < end) {
            const Clock::time_point sent = Clock::now();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(found.front(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) {
                return 1;
            }
            answers.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::sort(answers.begin(), answers.end());
        char line[160];
        std::snprintf(line, sizeof line, "%zu %.1f %.1f %.1f\n", answers.size(), answers[answers.size() / 2],
                      answers[answers.size() * 9 / 10], answers.back());
        Print(line);
        return 0;
    }
    if (command == L"post" && argc >= 6) {
        const std::vector<HWND> found = FindDialogs(caption, false);
        if (found.empty()) {
            return 1;
        }
        return PostMessageW(found.front(), static_cast<UINT>(number(3)), static_cast<WPARAM>(number(4)),
                            static_cast<LPARAM>(number(5)))
                   ? 0
                   : 1;
    }
    if (command == L"f1" && argc >= 3) {
        // What F1 sends a window: WM_HELP with its HELPINFO, which the system carries across processes.
        const std::vector<HWND> found = FindDialogs(caption, false);
        if (found.empty()) {
            return 1;
        }
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.hItemHandle = found.front();
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(found.front(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info), SMTO_NORMAL, 10000,
                                   &answer) != 0
                   ? 0
                   : 1;
    }
    // A control of a dialog, by its id: messages that carry no pointer (a selection mark, say).
    if (command == L"postchild" && argc >= 7) {
        const std::vector<HWND> found = FindDialogs(caption, false);
        HWND control = found.empty() ? nullptr : GetDlgItem(found.front(), static_cast<int>(number(3)));
        if (control == nullptr) {
            return 1;
        }
        return PostMessageW(control, static_cast<UINT>(number(4)), static_cast<WPARAM>(number(5)),
                            static_cast<LPARAM>(number(6)))
                   ? 0
                   : 1;
    }
    // Typed characters go through the program's message loop, one WM_CHAR each, as from the keyboard.
    if (command == L"type" && argc >= 5) {
        HWND control = FindControl(caption, static_cast<int>(number(3)));
        if (control == nullptr) {
            return 1;
        }
        for (const wchar_t* c = argv[4]; *c != L'\0'; ++c) {
            if (!PostMessageW(control, WM_CHAR, *c, 1)) {
                return 1;
            }
        }
        return 0;
    }
    if (command == L"text" && argc >= 4) {
        HWND control = FindControl(caption, static_cast<int>(number(3)));
        if (control == nullptr) {
            return 1;
        }
        Print(ToUtf8(WindowText(control)) + "\n");
        return 0;
    }
    if (command == L"tree" && argc >= 4) {
        HWND tree = FindControl(caption, static_cast<int>(number(3)));
        DWORD processId = 0;
        GetWindowThreadProcessId(tree, &processId);
        HANDLE process = tree == nullptr
                             ? nullptr
                             : OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process == nullptr) {
            return 1;
        }
        std::string out;
        bool ok = true;
        for (HTREEITEM top = NextItem(tree, nullptr, TVGN_ROOT); top != nullptr && ok;
             top = NextItem(tree, top, TVGN_NEXT)) {
            std::wstring text;
            ok = TreeItemText(tree, process, top, text);
            out += ToUtf8(text) + "\n";
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
            for (HTREEITEM child = NextItem(tree, top, TVGN_CHILD); child != nullptr && ok;
                 child = NextItem(tree, child, TVGN_NEXT)) {
                ok = TreeItemText(tree, process, child, text);
                out += "\t" + ToUtf8(text) + "\n";
            }
        }
        CloseHandle(process);
        Print(out);
        return ok ? 0 : 1;
    }
    if (command == L"selected" && argc >= 4) {
        // The first selected row of a list view (-1: none), and whether its dialog shows: "<row> <0|1>".
        const std::vector<HWND> found = FindDialogs(caption, false);
        HWND list = found.empty() ? nullptr : GetDlgItem(found.front(), static_cast<int>(number(3)));
        if (list == nullptr) {
            return 1;
        }
        const LRESULT row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
        Print(std::to_string(row) + " " + (IsWindowVisible(found.front()) ? "1" : "0") + "\n");
        return 0;
    }
    if (command == L"rows" && argc >= 4) {
        // The text comes into memory of the list's own process.
        HWND list = FindControl(caption, static_cast<int>(number(3)));
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        void* remote = process == nullptr ? nullptr
                                          : VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + 2048,
                                                           MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (list == nullptr || remote == nullptr) {
            return 1;
        }
        LVITEMW item{};
        item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(LVITEMW));
        item.cchTextMax = 1024;
        const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            wchar_t text[1024] = {};
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process, item.pszText, text, sizeof text - sizeof(wchar_t), nullptr);
            Print(ToUtf8(text) + "\n");
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        return 0;
    }
    if (command == L"treeselect" && argc >= 5) {
        HWND tree = FindControl(caption, static_cast<int>(number(3)));
        HTREEITEM item = tree == nullptr ? nullptr : NextItem(tree, nullptr, TVGN_ROOT);
        for (long long i = number(4); i > 0 && item != nullptr; --i) {
            item = NextItem(tree, item, TVGN_NEXT);
        }
        if (argc >= 6 && item != nullptr) {
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
            item = NextItem(tree, item, TVGN_CHILD);
            for (long long i = number(5); i > 0 && item != nullptr; --i) {
                item = NextItem(tree, item, TVGN_NEXT);
            }
        }
        if (item == nullptr) {
            return 1;
        }
        return SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) ? 0 : 1;
    }
    if (command == L"rclick" && argc >= 6) {
        HWND control = FindControl(caption, static_cast<int>(number(3)));
        POINT at{static_cast<LONG>(number(4)), static_cast<LONG>(number(5))};
        if (control == nullptr || !ClientToScreen(control, &at) || !SetCursorPos(at.x, at.y)) {
            return 1;
        }
        const LPARAM where = MAKELPARAM(number(4), number(5));
        return PostMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, where) && PostMessageW(control, WM_RBUTTONUP, 0, where)
                   ? 0
                   : 1;
    }
    if ((command == L"settext" && argc >= 5) || ((command == L"gettext" || command == L"click") && argc >= 4)) {
        const std::vector<HWND> found = FindDialogs(caption, false);
        HWND control = found.empty() ? nullptr : FindControl(found.front(), static_cast<int>(number(3)));
        if (control == nullptr) {
            return 1;
        }
        DWORD_PTR result = 0;
        if (command == L"settext") {
            return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_NORMAL, 10000,
                                       &result)
                       ? 0
                       : 1;
        }
        if (command == L"click") {
            return PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
        }
        wchar_t text[4096] = {};
        SendMessageTimeoutW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &result);
        Print(ToUtf8(text) + "\n");
        return 0;
    }
    if (command == L"page" && argc >= 4) {
        const std::vector<HWND> found = FindDialogs(caption, false);
        // PSM_SETCURSEL with the page's index.
        return !found.empty() && PostMessageW(found.front(), WM_USER + 101, static_cast<WPARAM>(number(3)), 0) ? 0 : 1;
    }
    if (command == L"hold" && argc >= 4) {
        // Holds a file open without sharing, as an editor or a backup agent may, until "<path>.release"
        // exists or the given milliseconds have passed; "<path>.held" says when the hold has begun.
        const std::wstring path = argv[2];
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return 1;
        }
        CloseHandle(CreateFileW((path + L".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        WaitFor([&] { return GetFileAttributesW((path + L".release").c_str()) != INVALID_FILE_ATTRIBUTES; },
                static_cast<int>(number(3)));
        CloseHandle(file);
        return 0;
    }
    if (command == L"pipe" && argc >= 5) {
        // pipe NAME HEX MS: connects to \\.\pipe\NAME, writes the bytes given in hex, and prints in hex
        // what comes back until the other end closes or MS milliseconds pass.
        const HANDLE pipe = CreateFileW((L"\\\\.\\pipe\\" + std::wstring(argv[2])).c_str(),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            return 1;
        }
        std::string bytes;
        const std::wstring hex = argv[3];
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes += static_cast<char>(std::wcstol(hex.substr(i, 2).c_str(), nullptr, 16));
        }
        DWORD written = 0;
        WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        struct Reading {
            HANDLE pipe;
            std::string reply;
        } reading{pipe, {}};
        const HANDLE reader = CreateThread(
            nullptr, 0,
            [](LPVOID param) -> DWORD {
                auto& r = *static_cast<Reading*>(param);
                char chunk[256];
                DWORD got = 0;
                while (ReadFile(r.pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) {
                    r.reply.append(chunk, got);
                }
                return 0;
            },
            &reading, 0, nullptr);
        if (WaitForSingleObject(reader, static_cast<DWORD>(number(4))) != WAIT_OBJECT_0) {
            CancelSynchronousIo(reader);
            WaitForSingleObject(reader, INFINITE);
        }
        CloseHandle(reader);
        const std::string& reply = reading.reply;
        CloseHandle(pipe);
        std::string out;
        char digits[3];
        for (const char c : reply) {
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
            out += digits;
        }
        Print(out + "\n");
        return 0;
    }
    if (command == L"box" && argc >= 4) {
        std::vector<HWND> found;
        if (!WaitFor([&] { return !(found = FindDialogs(caption, true)).empty(); }, static_cast<int>(number(3)))) {
            return 1;
        }
        Print(ToUtf8(WindowText(GetDlgItem(found.front(), kMessageBoxTextId))) + "\n");
        return 0;
    }
    if (command == L"press" && argc >= 4) {
        const std::vector<HWND> found = FindDialogs(caption, true);
        if (found.empty()) {
            return 1;
        }
        const int id = static_cast<int>(number(3));
        if (GetDlgItem(found.front(), id) == nullptr) {
            return 1;
        }
        // As a click on the button: the box ends with the button's id.
        PostMessageW(found.front(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(found.front(), id)));
        return 0;
    }
    return Usage();
}
