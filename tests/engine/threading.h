// Helpers for tests of threads and timers: waiting for a condition with a time limit, a stand-in for
// the user-interface thread that other threads send requests to, and the number of threads the
// process has.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/timer.h"

#ifdef _WIN32
#include <windows.h>

#include <tlhelp32.h>
#else
#include <filesystem>

#include "platform/posix/timer_testing.h"
#endif

namespace glimmerfen::test {

// Checks condition every millisecond until it holds (true) or the time is up (false). Sleeps without
// answering messages, like a thread that is busy.
template <typename Condition>
bool Eventually(Condition&& condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Makes the constructing thread a user-interface thread that other threads can send work to, the way
// a window's thread receives SendMessage: Send waits until the work has run on that thread, which
// happens only while that thread answers sent messages (in platform::WaitServingSentMessages). On
// Windows it is a real message-only window and SendMessage; the portable layer has the test hook.
class UiThreadLink {
public:
    UiThreadLink() {
#ifdef _WIN32
        WNDCLASSW wc{};
        wc.lpfnWndProc = &UiThreadLink::WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GlimmerfenTestUiThread";
        RegisterClassW(&wc); // fails harmlessly when an earlier test registered it
        window_ =
            CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
#else
        platform::SetSentMessageHandlerForTesting([this] { Serve(); });
#endif
    }

    ~UiThreadLink() {
#ifdef _WIN32
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
#else
        platform::SetSentMessageHandlerForTesting({});
#endif
    }

    UiThreadLink(const UiThreadLink&) = delete;
    UiThreadLink& operator=(const UiThreadLink&) = delete;

    bool Ready() const {
#ifdef _WIN32
        return window_ != nullptr;
#else
        return true;
#endif
    }

    // From another thread: runs work on the user-interface thread and waits for it; false when it has
    // not run within the limit.
    bool Send(std::function<void()> work, std::chrono::milliseconds limit) {
        auto request = std::make_shared<Request>();
        request->work = std::move(work);
#ifdef _WIN32
        // The receiver owns one reference, so a request that is answered after the sender gave up is
        // still alive.
        auto* carried = new std::shared_ptr<Request>(request);
        DWORD_PTR result = 0;
        const LRESULT sent = SendMessageTimeoutW(window_, kRunMessage, 0, reinterpret_cast<LPARAM>(carried),
                                                 SMTO_NORMAL, static_cast<UINT>(limit.count()), &result);
        return sent != 0 && result == 1;
#else
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back(request);
        return served_.wait_for(lock, limit, [&] { return request->done; });
#endif
    }

private:
    struct Request {
        std::function<void()> work;
        bool done = false;
    };

#ifdef _WIN32
    static constexpr UINT kRunMessage = WM_APP + 17;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kRunMessage) {
            std::unique_ptr<std::shared_ptr<Request>> carried(reinterpret_cast<std::shared_ptr<Request>*>(lParam));
            (*carried)->work();
            return 1;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
#else
    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) {
            std::shared_ptr<Request> request = queue_.front();
            queue_.pop_front();
            lock.unlock();
            request->work();
            lock.lock();
            request->done = true;
            served_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable served_;
    std::deque<std::shared_ptr<Request>> queue_;
#endif
};

// The threads of this process at this moment.
inline std::size_t ThreadCount() {
#ifdef _WIN32
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    std::size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
#else
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
#endif
}

} // namespace glimmerfen::test
