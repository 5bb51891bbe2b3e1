#include "ui/options/PropNotices.h"

#include "resource.h"
#include "settings/Settings.h"

namespace glimmerfen::ui {

CPropNotices::CPropNotices(const AppSettings& settings) noexcept : COptionPage(IDD_PROP_NOTICES, settings) {}

bool CPropNotices::OnInitDialog() {
    const NoticePageValues v = NoticePageFrom(Settings());
    Tick(IDC_NOTICE_RULE_CUT, v.ruleCut);
    Tick(IDC_NOTICE_SERVER, v.server);
    Tick(IDC_NOTICE_LOG, v.log);
    return true;
}

NoticePageValues CPropNotices::Values() const {
    return {Ticked(IDC_NOTICE_RULE_CUT), Ticked(IDC_NOTICE_SERVER), Ticked(IDC_NOTICE_LOG)};
}

bool CPropNotices::OnCommand(WORD id, WORD code, HWND) {
    switch (id) {
    case IDC_NOTICE_RULE_CUT:
    case IDC_NOTICE_SERVER:
    case IDC_NOTICE_LOG:
        if (code == BN_CLICKED) {
            Changed();
        }
        return true;
    default:
        return false;
    }
}

} // namespace glimmerfen::ui
