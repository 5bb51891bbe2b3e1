// What the shared part of ShowMessage and the layers that show the boxes know about a box on screen.
// Internal to the platform layer.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/notify.h"

namespace glimmerfen::platform {

// A box that ShowMessage is showing; guarded by ShownMessagesMutex().
struct ShownMessage {
    ThreadKey thread = 0;
    bool dismissed = false;
    void* window = nullptr; // the box's window once the layer knows it
    std::condition_variable changed;
};

std::mutex& ShownMessagesMutex();

// Each layer: shows the box and returns when it is answered or dismissed. The layer sets shown.window
// (under the mutex) as soon as the box exists and, when shown.dismissed is already set by then, ends it.
void ShowSystemMessage(const std::string& text, const std::string& caption, MessageIcon icon, ShownMessage& shown);

// Each layer, under the mutex: ends the box, whose dismissed flag has just been set.
void DismissSystemMessage(ShownMessage& shown);

} // namespace glimmerfen::platform
