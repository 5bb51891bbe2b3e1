// Stand-in for the system's "net" and "msg" commands in tests: copied beside a program as net.exe or
// msg.exe, it is what that program's child process runs. It writes its command line, byte for byte,
// to the file named by GLIMMERFEN_STUB_RECORD and prints a known text, part on standard output and
// part on standard error, so that a test sees whether both reached the reader. With
// GLIMMERFEN_STUB_DELAY_MS set it waits that many milliseconds between the two parts, as a message to
// an absent computer keeps the real command waiting for the network.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

void Write(DWORD stream, const char* text) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(stream), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

} // namespace

int main() {
    char recordPath[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("GLIMMERFEN_STUB_RECORD", recordPath, MAX_PATH) > 0) {
        HANDLE file =
            ::CreateFileA(recordPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const char* line = ::GetCommandLineA();
            DWORD written = 0;
            ::WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
            ::CloseHandle(file);
        }
    }
    Write(STD_OUTPUT_HANDLE, "Stand-in: the message was handed on.\r\n");
    char delay[16] = {};
    if (::GetEnvironmentVariableA("GLIMMERFEN_STUB_DELAY_MS", delay, sizeof delay) > 0) {
        ::Sleep(static_cast<DWORD>(std::strtoul(delay, nullptr, 10)));
    }
    Write(STD_ERROR_HANDLE, "Stand-in: \x82\xa0 on standard error.\r\n");
    return 0;
}
