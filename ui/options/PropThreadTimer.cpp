#include "ui/options/PropThreadTimer.h"

#include "resource.h"
#include "settings/Settings.h"

namespace glimmerfen::ui {

namespace {

void FillPriorities(HWND combo, int selected) {
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const PriorityEntry& entry : kPriorities) {
        ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text));
    }
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int SelectedIndex(HWND combo) {
    return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

} // namespace

CPropThreadTimer::CPropThreadTimer(const AppSettings& settings) noexcept : COptionPage(IDD_PROP_ADVANCED, settings) {}

bool CPropThreadTimer::OnInitDialog() {
    Show(AdvancedPageFrom(Settings()));
    return true;
}

void CPropThreadTimer::Show(const AdvancedPageValues& v) {
    FillPriorities(Item(IDC_MONITOR_PRIORITY), v.monitorPriority);
    FillPriorities(Item(IDC_LIST_PRIORITY), v.listPriority);
    SetUpNumberBox(IDC_MONITOR_INTERVAL, IDC_MONITOR_INTERVAL_SPIN, 1, 10000, v.monitorInterval);
    SetUpNumberBox(IDC_LIST_INTERVAL, IDC_LIST_INTERVAL_SPIN, 1, 10000, v.listInterval);
    Tick(IDC_MOMENTARY, v.momentary);
}

AdvancedPageValues CPropThreadTimer::Values() const {
    AdvancedPageValues v;
    v.monitorPriority = SelectedIndex(Item(IDC_MONITOR_PRIORITY));
    v.listPriority = SelectedIndex(Item(IDC_LIST_PRIORITY));
    v.monitorInterval = NumberOf(IDC_MONITOR_INTERVAL);
    v.listInterval = NumberOf(IDC_LIST_INTERVAL);
    v.momentary = Ticked(IDC_MOMENTARY);
    return v;
}

bool CPropThreadTimer::OnCommand(WORD id, WORD code, HWND) {
    switch (id) {
    case IDC_MONITOR_PRIORITY:
    case IDC_LIST_PRIORITY:
        // Typing into the edit field is no change; only a new selection counts.
        if (code == CBN_SELCHANGE) {
            Changed();
        }
        return true;
    case IDC_MONITOR_INTERVAL:
    case IDC_LIST_INTERVAL:
        if (code == EN_CHANGE) {
            NumberChanged(id, NumberBox::Interval);
        }
        return true;
    case IDC_INITIAL:
        if (code == BN_CLICKED) {
            Show(AdvancedInitial(Values()));
            Changed();
        }
        return true;
    case IDC_MOMENTARY:
        // The button toggles by itself; it is read at Apply and is no change of the page.
        return true;
    default:
        return false;
    }
}

} // namespace glimmerfen::ui
