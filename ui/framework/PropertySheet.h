// Property pages and a property sheet run modeless in the program's own modal loop.
//
// A page is a Dialog created by the sheet; its PSN_* notifications become virtual handlers. The sheet
// is created modeless (PSH_MODELESS) and pumped by RunMessageLoop, so the other dialogs of the thread
// (the list window above all) still get their keys while it is open; its own keys go through
// PropSheet_IsDialogMessage.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <vector>

#include "ui/framework/Dialog.h"

namespace glimmerfen::ui {

// The ids of the sheet's Apply and Help commands.
inline constexpr WORD kApplyCommand = 12321;
inline constexpr WORD kHelpCommand = 57670;

class CPropertyPage : public Dialog {
public:
    explicit CPropertyPage(UINT templateId) noexcept;

    // The page's modified flag: reported to the sheet, whose Apply button is enabled while any page
    // is flagged.
    void SetModified(bool modified);
    bool IsModified() const noexcept { return modified_; }

    // The record the sheet creates this page from.
    PROPSHEETPAGEA Record();

protected:
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    // Enter, Esc and the close box belong to the sheet, never to a page.
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose() override {}

    // PSN_SETACTIVE and PSN_KILLACTIVE: true to accept the change of page.
    virtual bool OnSetActive();
    virtual bool OnKillActive();
    // PSN_APPLY: true when the page's values were taken.
    virtual bool OnApply();
    // PSN_RESET: the sheet is closing without applying.
    virtual void OnReset();

    // The sheet window; pages are its children.
    HWND Sheet() const noexcept { return ::GetParent(Hwnd()); }

private:
    bool modified_ = false;
};

class CPropertySheet : public MessageFilter {
public:
    explicit CPropertySheet(UINT captionId) noexcept;
    virtual ~CPropertySheet();
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    // Pages in tab order.
    void AddPage(CPropertyPage& page) { pages_.push_back(&page); }

    HWND Hwnd() const noexcept { return hwnd_; }
    bool Exists() const noexcept { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }

    // Creates the sheet without a parent on the first page, disables `disable` (the main window) and
    // pumps messages until the sheet ends (OK, Cancel, Esc, the close box, WM_CLOSE). Then enables
    // `disable` again and destroys the sheet. False when it is already open or cannot be created.
    bool RunModal(HWND disable);

    // The Apply button's state.
    bool ApplyEnabled() const;
    // Clears every page's modified flag, which disables Apply.
    void ClearModified();
    // Closes the sheet as Cancel does: nothing is applied.
    void CloseLikeCancel();

protected:
    // The sheet's commands before its own handling: Apply (12321), OK, Help (9 and 57670). Return
    // true when handled. Default: nothing.
    virtual bool OnCommand(WORD id);
    bool PreTranslateMessage(MSG& msg) override;
    const std::vector<CPropertyPage*>& Pages() const noexcept { return pages_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    bool Ended() const;

    UINT captionId_;
    std::vector<CPropertyPage*> pages_;
    HWND hwnd_ = nullptr;
};

} // namespace glimmerfen::ui
