#include "ui/options/OptionPage.h"

namespace glimmerfen::ui {

int COptionPage::Ticked(int id) const {
    return ::IsDlgButtonChecked(Hwnd(), id) == BST_CHECKED ? 1 : 0;
}

void COptionPage::Tick(int id, int ticked) const {
    ::CheckDlgButton(Hwnd(), id, ticked != 0 ? BST_CHECKED : BST_UNCHECKED);
}

void COptionPage::EnableItem(int id, bool enabled) const {
    ::EnableWindow(Item(id), enabled ? TRUE : FALSE);
}

int COptionPage::NumberOf(int id) const {
    return ReadNumber(ItemText(id));
}

void COptionPage::SetUpNumberBox(int editId, int spinId, int low, int high, int value) {
    HWND spin = Item(spinId);
    ::SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Item(editId)), 0);
    ::SendMessageA(spin, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    writing_ = true;
    ::SendMessageA(spin, UDM_SETPOS32, 0, static_cast<LPARAM>(value));
    // The spin shows only values of its range; the box shows the setting as it is.
    SetItemText(editId, std::to_string(value));
    writing_ = false;
}

void COptionPage::SetTextQuietly(int id, const std::string& text) {
    writing_ = true;
    SetItemText(id, text);
    writing_ = false;
}

void COptionPage::NumberChanged(int id, NumberBox box) {
    if (writing_) {
        return;
    }
    if (const auto corrected = CorrectNumber(box, ItemText(id))) {
        SetTextQuietly(id, *corrected);
        // The caret goes after the corrected number, where the user goes on typing.
        const auto end = static_cast<LPARAM>(corrected->size());
        ::SendMessageA(Item(id), EM_SETSEL, static_cast<WPARAM>(end), end);
    }
    SetModified(true);
}

void COptionPage::Changed() {
    if (!writing_) {
        SetModified(true);
    }
}

} // namespace glimmerfen::ui
