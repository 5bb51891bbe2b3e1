#include "ui/options/PropDisjunc.h"

#include "resource.h"
#include "settings/Settings.h"

namespace glimmerfen::ui {

CPropDisjunc::CPropDisjunc(const AppSettings& settings) noexcept : COptionPage(IDD_PROP_DISCONNECT, settings) {}

bool CPropDisjunc::OnInitDialog() {
    const DisconnectPageValues v = DisconnectPageFrom(Settings());
    Tick(IDC_PC_RULE, v.pcFlag);
    Tick(IDC_OK_PC, v.acceptable);
    Tick(IDC_NG_PC, v.denied);
    SetTextQuietly(IDC_OK_PC_LIST, v.acceptableList);
    SetTextQuietly(IDC_NG_PC_LIST, v.deniedList);
    EnablePcRule();
    Tick(IDC_FILE_RULE, v.fileFlag);
    EnableItem(IDC_EXTENSIONS, v.fileFlag != 0);
    SetTextQuietly(IDC_EXTENSIONS, v.extensions);
    Tick(IDC_TIMER_RULE, v.timerFlag);
    EnableItem(IDC_DISCONNECT_AFTER, v.timerFlag != 0);
    SetUpNumberBox(IDC_DISCONNECT_AFTER, IDC_DISCONNECT_AFTER_SPIN, 0, 1000, v.timer);
    return true;
}

void CPropDisjunc::EnablePcRule() {
    const PcRuleEnabling e = PcRuleEnablingFor(Ticked(IDC_PC_RULE) != 0, Ticked(IDC_OK_PC) != 0);
    EnableItem(IDC_OK_PC, e.options);
    EnableItem(IDC_NG_PC, e.options);
    EnableItem(IDC_OK_PC_LIST, e.acceptableList);
    EnableItem(IDC_NG_PC_LIST, e.deniedList);
}

DisconnectPageValues CPropDisjunc::Values() const {
    DisconnectPageValues v;
    v.pcFlag = Ticked(IDC_PC_RULE);
    v.acceptable = Ticked(IDC_OK_PC);
    v.denied = Ticked(IDC_NG_PC);
    v.acceptableList = ItemText(IDC_OK_PC_LIST);
    v.deniedList = ItemText(IDC_NG_PC_LIST);
    v.fileFlag = Ticked(IDC_FILE_RULE);
    v.extensions = ItemText(IDC_EXTENSIONS);
    v.timerFlag = Ticked(IDC_TIMER_RULE);
    v.timer = NumberOf(IDC_DISCONNECT_AFTER);
    return v;
}

bool CPropDisjunc::OnCommand(WORD id, WORD code, HWND) {
    switch (id) {
    case IDC_OK_PC:
    case IDC_NG_PC:
        if (code == BN_CLICKED) {
            ::CheckRadioButton(Hwnd(), IDC_OK_PC, IDC_NG_PC, id);
            EnablePcRule();
            Changed();
        }
        return true;
    case IDC_PC_RULE:
        if (code == BN_CLICKED) {
            EnablePcRule();
            // The rule's box puts the stored acceptable list back: text typed there and not yet
            // applied is dropped.
            SetTextQuietly(IDC_OK_PC_LIST, Settings().DisJuncOkPcStr.Get());
            Changed();
        }
        return true;
    case IDC_FILE_RULE:
        if (code == BN_CLICKED) {
            EnableItem(IDC_EXTENSIONS, Ticked(IDC_FILE_RULE) != 0);
            Changed();
        }
        return true;
    case IDC_TIMER_RULE:
        if (code == BN_CLICKED) {
            EnableItem(IDC_DISCONNECT_AFTER, Ticked(IDC_TIMER_RULE) != 0);
            Changed();
        }
        return true;
    case IDC_OK_PC_LIST:
    case IDC_NG_PC_LIST:
    case IDC_EXTENSIONS:
        if (code == EN_CHANGE) {
            Changed();
        }
        return true;
    case IDC_DISCONNECT_AFTER:
        if (code == EN_CHANGE) {
            NumberChanged(id, NumberBox::DisconnectAfter);
        }
        return true;
    default:
        return false;
    }
}

} // namespace glimmerfen::ui
