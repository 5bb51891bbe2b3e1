// Stand-in for the system's "net" and "msg" commands in tests: copied into the system folder as net.exe
// or msg.exe, it is what a program's child process runs. It writes its command line, byte for byte, to
// the file named by GLIMMERFEN_STUB_RECORD, and to the one named by GLIMMERFEN_STUB_ARGS its own path and
// each argument as the system's parser splits the command line (CommandLineToArgvW, back in the ANSI code
// page), each followed by a zero byte. It prints a known text, part on standard output and part on
// standard error, so that a test sees whether both reached the reader. With
// GLIMMERFEN_STUB_DELAY_MS set it waits that many milliseconds between the two parts, as a message to
// an absent computer keeps the real command waiting for the network.
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cstring>

namespace {

void Write(DWORD stream, const char* text) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(stream), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void WriteFileText(const char* variable, const char* text, DWORD length) {
    char path[MAX_PATH] = {};
    HANDLE file = ::GetEnvironmentVariableA(variable, path, MAX_PATH) == 0
                      ? INVALID_HANDLE_VALUE
                      : ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ::WriteFile(file, text, length, &written, nullptr);
        ::CloseHandle(file);
    }
}

} // namespace

int main() {
    const char* line = ::GetCommandLineA();
    WriteFileText("GLIMMERFEN_STUB_RECORD", line, static_cast<DWORD>(std::strlen(line)));
    // Its own path, then its arguments after the program name, each ending in a zero byte.
    char record[32768] = {};
    DWORD used = ::GetModuleFileNameA(nullptr, record, MAX_PATH) + 1;
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i) {
        used +=
            ::WideCharToMultiByte(CP_ACP, 0, arguments[i], -1, record + used, sizeof record - used, nullptr, nullptr);
    }
    WriteFileText("GLIMMERFEN_STUB_ARGS", record, used);
    Write(STD_OUTPUT_HANDLE, "Stand-in: the message was handed on.\r\n");
    char delay[16] = {};
    if (::GetEnvironmentVariableA("GLIMMERFEN_STUB_DELAY_MS", delay, sizeof delay) > 0) {
        ::Sleep(static_cast<DWORD>(std::strtoul(delay, nullptr, 10)));
    }
    Write(STD_ERROR_HANDLE, "Stand-in: \x82\xa0 on standard error.\r\n");
    return 0;
}
