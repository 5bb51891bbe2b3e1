// Named checks for Win32 calls whose failure matters. A failed call records its text, place and
// GetLastError() as the thread's last failure and writes it to the debugger output; the caller
// still decides what to do. The program has no error log, so this is what a developer sees.
#pragma once

#include <windows.h>

#include <cstdio>

namespace glimmerfen::win32 {

struct Win32Failure {
    const char* call = nullptr; // source text of the call
    const char* file = nullptr;
    int line = 0;
    DWORD error = ERROR_SUCCESS; // GetLastError() right after the call
};

// The most recent failure recorded on this thread (call == nullptr when none).
inline Win32Failure& LastWin32Failure() noexcept {
    thread_local Win32Failure last;
    return last;
}

inline void RecordWin32Failure(const char* call, const char* file, int line) noexcept {
    // Read the error first: formatting and OutputDebugString may change it.
    const DWORD error = ::GetLastError();
    LastWin32Failure() = Win32Failure{call, file, line, error};
    char text[512];
    std::snprintf(text, sizeof text, "%s(%d): %s failed, error %lu\n", file, line, call,
                  static_cast<unsigned long>(error));
    ::OutputDebugStringA(text);
    ::SetLastError(error);
}

// For calls returning BOOL (or any integer) where zero means failure. Returns true on success.
inline bool CheckWin32Bool(long long result, const char* call, const char* file, int line) noexcept {
    if (result == 0) {
        RecordWin32Failure(call, file, line);
        return false;
    }
    return true;
}

// For calls returning a handle or pointer where null means failure. Returns the value unchanged.
template <typename T>
T CheckWin32Handle(T value, const char* call, const char* file, int line) noexcept {
    if (value == nullptr) {
        RecordWin32Failure(call, file, line);
    }
    return value;
}

} // namespace glimmerfen::win32

#define GF_CHECK_BOOL(call) ::glimmerfen::win32::CheckWin32Bool(static_cast<long long>(call), #call, __FILE__, __LINE__)
#define GF_CHECK_HANDLE(call) ::glimmerfen::win32::CheckWin32Handle((call), #call, __FILE__, __LINE__)
