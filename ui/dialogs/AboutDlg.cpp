#include "ui/dialogs/AboutDlg.h"

#include "resource.h"

namespace glimmerfen::ui {

CAboutDlg::CAboutDlg() noexcept : Dialog(IDD_ABOUTBOX) {}

} // namespace glimmerfen::ui
