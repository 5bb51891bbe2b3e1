#include "platform/explorer.h"

#include <windows.h>

#include "platform/win32/handles.h"
#include "platform/win32/system_library.h"

namespace glimmerfen::platform {

bool StartExplorer(const std::string& target) {
    const std::string program = WindowsFolderFile("explorer.exe");
    std::string commandLine = "explorer.exe " + target;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    if (program.empty() || !::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                             nullptr, &startup, &process)) {
        return false;
    }
    const win32::UniqueHandle thread(process.hThread);
    const win32::UniqueHandle owned(process.hProcess);
    return true;
}

} // namespace glimmerfen::platform
