// Test hook of the Win32 timer layer: the timer device it arms and kills timers with. Wine hands out a
// new number for every timer; Windows gives a spent timer's number to the next one at once, and a test
// needs such a device to see what the layer does with numbers that come back.
#pragma once

#include <windows.h>

#include <mmsystem.h>

namespace glimmerfen::platform {

using TimerDeviceSet = MMRESULT(WINAPI*)(UINT delayMs, UINT resolutionMs, LPTIMECALLBACK callback, DWORD_PTR user,
                                         UINT flags);
using TimerDeviceKill = MMRESULT(WINAPI*)(UINT id);

// Replaces timeSetEvent and timeKillEvent; nullptr for both restores them. Set it only while no timer
// of the layer is pending.
void SetTimerDeviceForTesting(TimerDeviceSet set, TimerDeviceKill kill);

} // namespace glimmerfen::platform
