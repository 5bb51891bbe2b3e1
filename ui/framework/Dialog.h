// The dialog base class and the program's own modal loop.
//
// Every window of the program is a dialog resource driven by a subclass of Dialog. A modal run does
// not use DialogBoxParam: it creates the dialog modeless, disables the owner and pumps messages
// itself, so that every open dialog of this thread (the modeless list window above all) still gets
// its keys through IsDialogMessage and each dialog may look at a message before it is dispatched.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

namespace glimmerfen::ui {

// Something that may consume a message before it is translated and dispatched.
class MessageFilter {
public:
    // Returns true when the message was handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG& msg) = 0;

protected:
    ~MessageFilter() = default;
};

// Filters are per thread. Dialogs register themselves; other windows run in a modal loop (a
// modeless property sheet) may add a filter of their own for their lifetime.
void AddMessageFilter(MessageFilter* filter);
void RemoveMessageFilter(MessageFilter* filter);

// The pre-translate chain: the added filters, then the PreTranslateMessage of every open dialog of
// the thread, then IsDialogMessage for the dialog the message is for (each list newest first).
// Returns true when the message was consumed.
bool PreTranslateThreadMessage(MSG& msg);

// Posts Cancel to every dialog of this thread that `owner` owns (a common Save dialog, a box), so that
// the loops they run end and return to their caller.
void CancelDialogsOwnedBy(HWND owner);

// The system's dots per inch (the program is aware of the system's scaling, not of each monitor's).
int SystemDpi();

// Pumps this thread's messages through the chain until `finished()` is true. Returns false when
// WM_QUIT arrived (it is posted again so that outer loops see it too).
bool RunMessageLoop(const std::function<bool()>& finished);

class Dialog : public MessageFilter {
public:
    explicit Dialog(UINT templateId) noexcept;
    // Destroys a window that still exists, without calling OnDestroy (the subclass is gone by then).
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    UINT TemplateId() const noexcept { return templateId_; }
    HWND Hwnd() const noexcept { return hwnd_; }
    bool Exists() const noexcept;
    // True while a modal run of this dialog is in progress.
    bool IsModal() const noexcept { return modal_; }

    // Creates the dialog, disables the owner's top-level window and pumps messages until EndModal
    // (or until the window is destroyed). Re-enables the owner, destroys the window and returns
    // the result; -1 when the dialog could not be created or already exists.
    INT_PTR RunModal(HWND owner);
    // Creates the dialog modeless (shown only if its template is visible). False if it already
    // exists or creation failed.
    bool CreateModeless(HWND owner);
    // Ends the modal run with `result`; takes effect when the current message has been handled.
    void EndModal(INT_PTR result);
    void DestroyWindow();

    // Sees every message of the thread's loops before it is dispatched, whichever window it is for
    // (check msg.hwnd). Return true to consume it. Default: nothing; IsDialogMessage comes after.
    bool PreTranslateMessage(MSG& msg) override;

    // Control helpers.
    HWND Item(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& text) const;

protected:
    // Return true to let the system give the focus to the first control.
    virtual bool OnInitDialog();
    // Return true when handled; IDOK and IDCANCEL go to OnOK/OnCancel when not handled here.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    // Return true when handled; `result` becomes the notification's answer (DWLP_MSGRESULT).
    virtual bool OnNotify(NMHDR& header, LRESULT& result);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSize(UINT type, int width, int height);
    // Default: a modal run ends with IDCANCEL, a modeless dialog is destroyed.
    virtual void OnClose();
    virtual void OnDestroy();
    // Defaults end the dialog like OnClose, with IDOK and IDCANCEL.
    virtual void OnOK();
    virtual void OnCancel();
    // Any other message. Return true when handled; `result` is the message's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Called from OnInitDialog of a dialog that must stay hidden after its creation. The dialog
    // manager shows a dialog whose template is visible after WM_INITDIALOG, whatever OnInitDialog
    // did, and a modal run shows its dialog; this hides it again once creation is complete.
    void KeepHiddenOnModalStart() noexcept { stayHidden_ = true; }

    // The dialog procedure of a property page: the page's object comes in the lParam of the
    // PROPSHEETPAGE record that WM_INITDIALOG carries; from then on it is StaticProc.
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HWND Create(HWND owner);
    void Detach() noexcept;
    void EndDialogLike(INT_PTR result);

    UINT templateId_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool ending_ = false;
    bool stayHidden_ = false;
    INT_PTR result_ = -1;
};

} // namespace glimmerfen::ui
