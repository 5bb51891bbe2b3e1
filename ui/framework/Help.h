// Show help: the user's manual beside the executable ("manual.chm", or "manual_ja.chm" when the program
// shows its Japanese texts), in the system's HTML Help viewer.
#pragma once

#include <windows.h>

#include <string>

namespace glimmerfen::ui {

// Opens the manual of the program's language (ManualToOpen: the file named by the string table, else
// the English one) in the HTML Help viewer, with no owner window. When the viewer shows no window (no
// file, no viewer, a file it cannot read) the string "There is no help file." is shown with appName as
// caption.
// topic: a page of the manual, with an anchor if any ("list.html", "options.html#log"); empty for its
// start page.
void ShowHelp(const std::string& exeDir, const std::string& appName, const std::string& topic = std::string());

// F1 in one of the program's windows: the manual beside this program's executable, at that window's page.
void ShowHelpAt(const std::string& topic, const std::string& appName);

// The HTML Help entry point, bound on the first request and kept for the rest of the run. The viewer
// library is "hhctrl.ocx" from the system folder, and from nowhere else; the entry point is its ordinal
// 14 (HtmlHelpA). Once binding has failed it is never tried again.
class HtmlHelpBinding {
public:
    using HtmlHelpProc = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

    // The help window, or null when nothing was shown (or the viewer cannot be bound).
    HWND Call(HWND caller, const std::string& file, UINT command, DWORD_PTR data);

    // How many times a viewer library was loaded by this binding (at most once in its life).
    int LoadCount() const { return loadCount_; }
    bool Bound() const { return proc_ != nullptr; }
    bool Failed() const { return failed_; }

private:
    bool Bind();

    HMODULE library_ = nullptr;
    HtmlHelpProc proc_ = nullptr;
    bool failed_ = false;
    int loadCount_ = 0;
};

// The binding used by ShowHelp.
HtmlHelpBinding& ProcessHtmlHelp();

// Closes every help window this process opened, when the viewer was ever bound; a help window left
// open while the process ends takes the viewer down with it at an unsafe moment.
void CloseAllHelp();

} // namespace glimmerfen::ui
