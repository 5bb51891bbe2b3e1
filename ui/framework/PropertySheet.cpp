#include "ui/framework/PropertySheet.h"

#include <string>

#include "platform/fault.h"
#include "platform/strings.h"
#include "platform/win32/checks.h"

namespace glimmerfen::ui {

CPropertyPage::CPropertyPage(UINT templateId) noexcept : Dialog(templateId) {}

PROPSHEETPAGEA CPropertyPage::Record() {
    PROPSHEETPAGEA record{};
    record.dwSize = sizeof record;
    record.dwFlags = PSP_DEFAULT | PSP_HASHELP;
    record.hInstance = ::GetModuleHandleA(nullptr);
    record.pszTemplate = MAKEINTRESOURCEA(TemplateId());
    record.pfnDlgProc = &Dialog::PageProc;
    record.lParam = reinterpret_cast<LPARAM>(this);
    return record;
}

void CPropertyPage::SetModified(bool modified) {
    modified_ = modified;
    if (Hwnd() == nullptr || Sheet() == nullptr) {
        return;
    }
    if (modified) {
        PropSheet_Changed(Sheet(), Hwnd());
    } else {
        PropSheet_UnChanged(Sheet(), Hwnd());
    }
}

bool CPropertyPage::OnNotify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        return true;
    case PSN_KILLACTIVE:
        result = OnKillActive() ? FALSE : TRUE;
        return true;
    case PSN_APPLY:
        result = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID;
        return true;
    case PSN_RESET:
        OnReset();
        result = 0;
        return true;
    default:
        return false;
    }
}

bool CPropertyPage::OnSetActive() {
    return true;
}
bool CPropertyPage::OnKillActive() {
    return true;
}
bool CPropertyPage::OnApply() {
    return true;
}
void CPropertyPage::OnReset() {}

CPropertySheet::CPropertySheet(UINT captionId) noexcept : captionId_(captionId) {}

CPropertySheet::~CPropertySheet() {
    if (hwnd_ != nullptr) {
        RemoveMessageFilter(this);
        ::DestroyWindow(hwnd_);
    }
}

bool CPropertySheet::RunModal(HWND disable) {
    if (Exists() || pages_.empty()) {
        return false;
    }
    std::vector<PROPSHEETPAGEA> records;
    records.reserve(pages_.size());
    for (CPropertyPage* page : pages_) {
        page->SetModified(false);
        records.push_back(page->Record());
    }
    const std::string caption = platform::LoadText(captionId_);
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_HASHELP;
    header.hwndParent = nullptr;
    header.hInstance = ::GetModuleHandleA(nullptr);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(records.size());
    header.nStartPage = 0;
    header.ppsp = records.data();
    hwnd_ = GF_CHECK_HANDLE(reinterpret_cast<HWND>(::PropertySheetA(&header)));
    if (hwnd_ == nullptr || hwnd_ == reinterpret_cast<HWND>(-1)) {
        hwnd_ = nullptr;
        return false;
    }
    ::SetWindowSubclass(hwnd_, &CPropertySheet::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    AddMessageFilter(this);
    const bool disabled = disable != nullptr && ::IsWindowEnabled(disable) != FALSE;
    if (disabled) {
        ::EnableWindow(disable, FALSE);
    }
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);

    RunMessageLoop([this] { return Ended(); });

    if (disabled) {
        ::EnableWindow(disable, TRUE);
    }
    RemoveMessageFilter(this);
    if (::IsWindow(hwnd_)) {
        ::RemoveWindowSubclass(hwnd_, &CPropertySheet::SubclassProc, 1);
        ::DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
    return true;
}

bool CPropertySheet::Ended() const {
    // A modeless sheet is not destroyed by OK or Cancel: it only lets go of its current page.
    return hwnd_ == nullptr || !::IsWindow(hwnd_) || PropSheet_GetCurrentPageHwnd(hwnd_) == nullptr;
}

bool CPropertySheet::ApplyEnabled() const {
    HWND apply = hwnd_ != nullptr ? ::GetDlgItem(hwnd_, kApplyCommand) : nullptr;
    return apply != nullptr && ::IsWindowEnabled(apply) != FALSE;
}

void CPropertySheet::ClearModified() {
    for (CPropertyPage* page : pages_) {
        page->SetModified(false);
    }
}

void CPropertySheet::CloseLikeCancel() {
    if (Exists()) {
        PropSheet_PressButton(hwnd_, PSBTN_CANCEL);
    }
}

bool CPropertySheet::OnCommand(WORD) {
    return false;
}

bool CPropertySheet::PreTranslateMessage(MSG& msg) {
    if (hwnd_ == nullptr || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) {
        return false;
    }
    return PropSheet_IsDialogMessage(hwnd_, &msg) != FALSE;
}

LRESULT CALLBACK CPropertySheet::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self) {
    auto* sheet = reinterpret_cast<CPropertySheet*>(self);
    if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1)) {
        bool handled = false;
        // Nothing may leave a window procedure.
        platform::ContainFault("the option sheet", [&] { handled = sheet->OnCommand(LOWORD(wParam)); });
        if (handled) {
            return 0;
        }
    }
    if (message == WM_HELP) {
        // F1 does what the Help button does.
        platform::ContainFault("the option sheet", [&] { sheet->OnCommand(kHelpCommand); });
        return TRUE;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace glimmerfen::ui
