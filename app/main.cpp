// GlimmerfenChecker.exe: the start routine runs the whole program, then the exit routine saves.
#include <windows.h>

#include <commctrl.h>

#include "app/CheckerApp.h"
#include "app/CheckerApp_win32.h"
#include "platform/win32/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a library by name: from here on such loads search the system folder only,
    // never the program's own folder (where anyone who can write a file could plant one), also when a
    // library of the system loads another on our behalf. The libraries the exe imports were resolved
    // before this line: each is on the system's list of libraries it always takes from the system
    // folder, or (the common controls) comes from the side-by-side store that the manifest names. That
    // is why netapi32 and winmm are not imported but loaded by the platform layer. Where this setting
    // is missing (Vista, 7 without its loader update) those two still come from the system folder, by
    // their full path.
    glimmerfen::platform::RestrictLibrarySearchToSystemFolder();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    glimmerfen::Win32StartupHost host;
    glimmerfen::CCheckerApp& app = glimmerfen::TheApp();
    app.Start(host);
    const int code = app.Exit(host);
    if (host.EngineAbandoned()) {
        // A server call that never came back still runs on a thread of the engine, which was kept
        // alive for it. Returning would destroy the static objects and end the C runtime under that
        // thread; ExitProcess ends the other threads first. The settings are saved by now and the
        // log's waiting lines are in its side file.
        ::ExitProcess(static_cast<UINT>(code));
    }
    return code;
}
