// Helpers for window tests under Wine: run code from inside a modal loop, find windows, read
// window texts as UTF-8 so that English and Japanese expectations are written the same way.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace glimmerfen::test {

// Runs `action` on this thread from the next message loop that dispatches messages (a modal run
// included), after about `delayMs` milliseconds.
void RunSoon(std::function<void()> action, UINT delayMs = 1);

// Pumps this thread's messages until `done` is true or `timeoutMs` has passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Window text (or a control's) in UTF-8.
std::string WindowTextUtf8(HWND hwnd);

// The direct children of a window, in z-order.
std::vector<HWND> Children(HWND parent);

// Visible top-level windows of this thread whose caption is `captionUtf8`.
int CountThreadWindowsWithCaption(const std::string& captionUtf8);

// True when Windows chose the Japanese user interface (LANG=ja_JP.UTF-8 under Wine).
bool JapaneseUi();

// A rectangle given in dialog units, converted to pixels of `dialog`.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height);

// A control's rectangle in its dialog's client coordinates.
RECT ClientRectOf(HWND control);

// Screenshots (scripts/screenshots): the folder named by GLIMMERFEN_SHOT_DIR, empty when the
// pictures are not wanted.
std::string ScreenshotDir();
// Paints `window`, announces its screen rectangle as "<dir>/<name>.ready" and keeps the messages
// flowing until the script answers with "<dir>/<name>.done" (or 30 seconds pass). True when answered.
bool HoldForScreenshot(const std::string& name, HWND window);

} // namespace glimmerfen::test
