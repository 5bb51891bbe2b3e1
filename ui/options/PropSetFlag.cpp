#include "ui/options/PropSetFlag.h"

#include "resource.h"
#include "settings/Settings.h"

namespace glimmerfen::ui {

namespace {

constexpr int kCloseOptions[] = {IDC_CLOSE_WHEN_EMPTY, IDC_CLOSE_AFTER, IDC_CLOSE_NEVER};

} // namespace

CPropSetFlag::CPropSetFlag(const AppSettings& settings) noexcept : COptionPage(IDD_PROP_VIEW, settings) {}

bool CPropSetFlag::OnInitDialog() {
    const ViewPageValues v = ViewPageFrom(Settings());
    Tick(IDC_START_DLG, v.startDlg);
    Tick(IDC_TOP_DLG, v.topDlg);
    Tick(IDC_POP_FLAG, v.dlgPopFlag);
    Tick(IDC_CHK_STARTUP, v.chkStartUp);
    Tick(IDC_POP_CHK_OK_PC, v.dlgPopChkOkPc);
    for (int i = 0; i < 3; ++i) {
        Tick(kCloseOptions[i], v.closeChoice == i);
    }
    EnableItem(IDC_POP_TIME, v.PopupSecondsEnabled());
    SetUpNumberBox(IDC_POP_TIME, IDC_POP_TIME_SPIN, 0, 100, v.dlgPopTime);
    return true;
}

ViewPageValues CPropSetFlag::Values() const {
    ViewPageValues v;
    v.startDlg = Ticked(IDC_START_DLG);
    v.topDlg = Ticked(IDC_TOP_DLG);
    v.dlgPopFlag = Ticked(IDC_POP_FLAG);
    v.chkStartUp = Ticked(IDC_CHK_STARTUP);
    v.dlgPopChkOkPc = Ticked(IDC_POP_CHK_OK_PC);
    v.dlgPopTime = NumberOf(IDC_POP_TIME);
    for (int i = 0; i < 3; ++i) {
        if (Ticked(kCloseOptions[i]) != 0) {
            v.closeChoice = i;
        }
    }
    return v;
}

bool CPropSetFlag::OnCommand(WORD id, WORD code, HWND) {
    switch (id) {
    case IDC_CLOSE_WHEN_EMPTY:
    case IDC_CLOSE_AFTER:
    case IDC_CLOSE_NEVER:
        if (code == BN_CLICKED) {
            ::CheckRadioButton(Hwnd(), IDC_CLOSE_WHEN_EMPTY, IDC_CLOSE_NEVER, id);
            EnableItem(IDC_POP_TIME, id == IDC_CLOSE_AFTER);
            Changed();
        }
        return true;
    case IDC_START_DLG:
    case IDC_POP_FLAG:
    case IDC_TOP_DLG:
    case IDC_CHK_STARTUP:
    case IDC_POP_CHK_OK_PC:
        if (code == BN_CLICKED) {
            Changed();
        }
        return true;
    case IDC_POP_TIME:
        if (code == EN_CHANGE) {
            NumberChanged(id, NumberBox::PopupSeconds);
        }
        return true;
    default:
        return false;
    }
}

} // namespace glimmerfen::ui
