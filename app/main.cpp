// GlimmerfenChecker.exe: the start routine runs the whole program, then the exit routine saves.
#include <windows.h>

#include <commctrl.h>

#include "app/CheckerApp.h"
#include "app/CheckerApp_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    glimmerfen::Win32StartupHost host;
    glimmerfen::CCheckerApp& app = glimmerfen::TheApp();
    app.Start(host);
    return app.Exit(host);
}
