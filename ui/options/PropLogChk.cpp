#include "ui/options/PropLogChk.h"

#include "resource.h"
#include "settings/Settings.h"

namespace glimmerfen::ui {

CPropLogChk::CPropLogChk(const AppSettings& settings) noexcept : COptionPage(IDD_PROP_LOG, settings) {}

bool CPropLogChk::OnInitDialog() {
    const LogPageValues v = LogPageFrom(Settings());
    Tick(IDC_LOG_OUT, v.logOut);
    EnableLogControls(v.logOut != 0);
    SetUpNumberBox(IDC_LOG_DAYS, IDC_LOG_DAYS_SPIN, 0, 100, v.logSetDays);
    Tick(IDC_LOG_CHK_DIS_MSG, v.logChkDisMsg);
    Tick(IDC_LOG_CHK_OK_PC, v.logChkOkPc);
    Tick(IDC_LOG_EVENTS, v.eventLog);
    return true;
}

void CPropLogChk::EnableLogControls(bool logOut) {
    EnableItem(IDC_LOG_DAYS, logOut);
    EnableItem(IDC_LOG_CHK_DIS_MSG, logOut);
    EnableItem(IDC_LOG_CHK_OK_PC, logOut);
}

LogPageValues CPropLogChk::Values() const {
    return {Ticked(IDC_LOG_OUT), NumberOf(IDC_LOG_DAYS), Ticked(IDC_LOG_CHK_DIS_MSG), Ticked(IDC_LOG_CHK_OK_PC),
            Ticked(IDC_LOG_EVENTS)};
}

bool CPropLogChk::OnCommand(WORD id, WORD code, HWND) {
    switch (id) {
    case IDC_LOG_OUT:
        if (code == BN_CLICKED) {
            EnableLogControls(Ticked(IDC_LOG_OUT) != 0);
            Changed();
        }
        return true;
    case IDC_LOG_CHK_DIS_MSG:
    case IDC_LOG_CHK_OK_PC:
    case IDC_LOG_EVENTS:
        if (code == BN_CLICKED) {
            Changed();
        }
        return true;
    case IDC_LOG_DAYS:
        if (code == EN_CHANGE) {
            NumberChanged(id, NumberBox::LogDays);
        }
        return true;
    default:
        return false;
    }
}

} // namespace glimmerfen::ui
