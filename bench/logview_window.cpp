// The log viewer's window on a large log, under Wine or Windows: from the opening to a filled tree (the
// deferred load of 100 ms included), and the list filled for the busiest date (100,000 lines) and drawn.
// Reference: reading the same file once into one buffer. Prints medians of several rounds.
// Then Find: queries typed into the search box one character every 40 ms (each keystroke starts a new
// search), timing every message the window's thread handles until the last query's rows are listed:
// the longest one, and the time from the last keystroke to the listed result.
//
//   set TZ=Asia/Tokyo & logview_window.exe [rounds]     (default 3)
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "generate_log.h"
#include "monitor/log/LogSearch.h"
#include "res/resource.h"
#include "ui/logview/LogViewerDlg.h"

namespace {

using namespace glimmerfen;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The longest time one message took to handle on this thread, over the pumps that recorded it.
double g_longestMessageMs = 0;

// Handles the waiting messages, each timed.
void PumpTimed() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        const auto start = Clock::now();
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
        g_longestMessageMs = std::max(g_longestMessageMs, MillisecondsSince(start));
    }
}

template <typename Condition>
bool PumpUntil(Condition done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) {
            return false;
        }
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

double WorkingSetMB() {
    PROCESS_MEMORY_COUNTERS counters{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.WorkingSetSize) / 1e6;
}

std::string TreeText(HWND tree, HTREEITEM item) {
    char text[64] = {};
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    TreeView_GetItem(tree, &tv);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);

    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("glimmerfen-logview-window-" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    const std::uintmax_t bytes = bench::Generate(dir / "log.txt");
    std::printf("log: %d lines, %.1f MB\n", bench::kLines, static_cast<double>(bytes) / 1e6);
    const std::string exeDir = (dir / "").string();

    // The busiest date's text, as the viewer shows it.
    LoadedLog model;
    model.Load(exeDir);
    std::uint32_t busiest = model.DateOrder().front();
    for (const std::uint32_t d : model.DateOrder()) {
        if (model.Dates()[d].rows > model.Dates()[busiest].rows) {
            busiest = d;
        }
    }
    const std::string busyDate = model.Dates()[busiest].text;
    // Queries as typed: a computer, an operation on most lines, two words, and the costliest byte.
    const char* const queries[] = {"pc-117", "file", "user007 minutes", "\\"};
    std::vector<std::size_t> expected;
    std::vector<double> searchMs;
    for (const char* query : queries) {
        const auto start = Clock::now();
        expected.push_back(SearchRows(model, LogQuery(query))->size());
        searchMs.push_back(MillisecondsSince(start));
    }
    model.Clear();

    std::vector<double> readTimes, openTimes, fillTimes;
    std::size_t treeItems = 0;
    std::size_t listed = 0;
    double memory = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        if (bench::ReadOnce((dir / "log.txt").string(), bytes) != bytes) {
            std::fprintf(stderr, "read failed\n");
            return 1;
        }
        readTimes.push_back(MillisecondsSince(start));

        const double before = WorkingSetMB();
        ui::CLogViewerDlg viewer(ui::LogViewContext{exeDir, (dir / "Glimmerfen.ini").string()});
        start = Clock::now();
        if (!viewer.CreateModeless(nullptr)) {
            std::fprintf(stderr, "no window\n");
            return 1;
        }
        ::ShowWindow(viewer.Hwnd(), SW_SHOW);
        HWND tree = viewer.Item(IDC_LOG_TREE);
        if (!PumpUntil([&] { return TreeView_GetCount(tree) > 0; }, 60000)) {
            std::fprintf(stderr, "the tree was not filled\n");
            return 1;
        }
        ::UpdateWindow(viewer.Hwnd());
        openTimes.push_back(MillisecondsSince(start));
        treeItems = TreeView_GetCount(tree);
        memory = WorkingSetMB() - before;

        HTREEITEM item = TreeView_GetRoot(tree);
        while (item != nullptr && TreeText(tree, item) != busyDate) {
            item = TreeView_GetNextSibling(tree, item);
        }
        start = Clock::now();
        TreeView_SelectItem(tree, item);
        ::UpdateWindow(viewer.Item(IDC_LOG_LIST));
        fillTimes.push_back(MillisecondsSince(start));
        listed = viewer.ListedCount();
        viewer.DestroyWindow();
    }
    std::printf("tree items %zu, listed for %s: %zu; working set added by the open viewer: %.1f MB (%.2f times the "
                "file)\n",
                treeItems, busyDate.c_str(), listed, memory, memory * 1e6 / static_cast<double>(bytes));
    std::printf("medians of %d rounds: read once %.1f ms | open to filled tree %.1f ms | select busiest date, list "
                "filled and drawn %.1f ms\n",
                rounds, Median(readTimes), Median(openTimes), Median(fillTimes));

    // Find, in one open viewer.
    {
        ui::CLogViewerDlg viewer(ui::LogViewContext{exeDir, (dir / "Glimmerfen.ini").string()});
        if (!viewer.CreateModeless(nullptr)) {
            std::fprintf(stderr, "no window\n");
            return 1;
        }
        ::ShowWindow(viewer.Hwnd(), SW_SHOW);
        HWND tree = viewer.Item(IDC_LOG_TREE);
        HWND find = viewer.Item(IDC_LOG_FIND);
        if (!PumpUntil([&] { return TreeView_GetCount(tree) > 0; }, 60000)) {
            std::fprintf(stderr, "the tree was not filled\n");
            return 1;
        }
        std::printf("Find (one character every 40 ms, %d rounds each):\n", rounds);
        for (std::size_t q = 0; q < std::size(queries); ++q) {
            std::vector<double> longest, latency, pasted;
            for (int round = 0; round < rounds; ++round) {
                ::SetWindowTextA(find, "");
                PumpUntil([] { return false; }, 100);
                g_longestMessageMs = 0;
                Clock::time_point lastKey;
                for (const char* c = queries[q]; *c != '\0'; ++c) {
                    ::PostMessageA(find, WM_CHAR, static_cast<unsigned char>(*c), 1);
                    lastKey = Clock::now();
                    while (MillisecondsSince(lastKey) < 40) {
                        PumpTimed();
                        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
                    }
                }
                // Listed: the count of the whole query's rows (no shorter query of these finds as many).
                const DWORD start = ::GetTickCount();
                while (viewer.ListedCount() != expected[q] && ::GetTickCount() - start < 60000) {
                    PumpTimed();
                    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
                }
                latency.push_back(MillisecondsSince(lastKey));
                ::UpdateWindow(viewer.Hwnd());
                longest.push_back(g_longestMessageMs);
                // The same query pasted at once: one search, nothing to cancel.
                ::SetWindowTextA(find, "");
                PumpUntil([] { return false; }, 100);
                const auto pastedAt = Clock::now();
                ::SetWindowTextA(find, queries[q]);
                PumpUntil([&] { return viewer.ListedCount() == expected[q]; }, 60000);
                pasted.push_back(MillisecondsSince(pastedAt));
                if (viewer.ListedCount() != expected[q]) {
                    std::fprintf(stderr, "%s: %zu rows listed, %zu expected\n", queries[q], viewer.ListedCount(),
                                 expected[q]);
                    return 1;
                }
            }
            std::printf("  %-16s %7zu rows (SearchRows alone %.1f ms) | last keystroke to listed: median %.1f ms, "
                        "worst %.1f ms | pasted to listed: median %.1f ms | longest message on the window's thread: "
                        "median %.1f ms, worst %.1f ms\n",
                        queries[q], expected[q], searchMs[q], Median(latency),
                        *std::max_element(latency.begin(), latency.end()), Median(pasted), Median(longest),
                        *std::max_element(longest.begin(), longest.end()));
        }
        viewer.DestroyWindow();
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
