// The version box (dialog 100): the program's icon, its name and version, and an OK button.
#pragma once

#include "ui/framework/Dialog.h"

namespace glimmerfen::ui {

// OK, Esc and the close box end it and F1 does nothing, all through the Dialog defaults; the box
// has no handlers or fields of its own.
class CAboutDlg : public Dialog {
public:
    CAboutDlg() noexcept;
};

} // namespace glimmerfen::ui
