#include "ui/framework/Dialog.h"

#include <cstring>

#include "platform/fault.h"
#include "platform/win32/checks.h"

#include <algorithm>
#include <vector>

namespace glimmerfen::ui {

namespace {

// Windows belong to the thread that created them, so the registries are per thread.
std::vector<MessageFilter*>& Filters() {
    thread_local std::vector<MessageFilter*> filters;
    return filters;
}

std::vector<Dialog*>& OpenDialogs() {
    thread_local std::vector<Dialog*> dialogs;
    return dialogs;
}

void Remove(std::vector<Dialog*>& list, Dialog* dialog) {
    list.erase(std::remove(list.begin(), list.end(), dialog), list.end());
}

// Messages whose answer is the dialog procedure's return value instead of DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

} // namespace

void AddMessageFilter(MessageFilter* filter) {
    if (filter != nullptr) {
        Filters().push_back(filter);
    }
}

void RemoveMessageFilter(MessageFilter* filter) {
    auto& filters = Filters();
    filters.erase(std::remove(filters.begin(), filters.end(), filter), filters.end());
}

bool PreTranslateThreadMessage(MSG& msg) {
    // A handler may destroy dialogs (and so shrink the lists) while it runs; indexes are re-checked
    // against the current size instead of holding iterators.
    auto& filters = Filters();
    for (size_t i = filters.size(); i-- > 0;) {
        if (i < filters.size() && filters[i]->PreTranslateMessage(msg)) {
            return true;
        }
    }
    auto& dialogs = OpenDialogs();
    for (size_t i = dialogs.size(); i-- > 0;) {
        if (i < dialogs.size() && dialogs[i]->PreTranslateMessage(msg)) {
            return true;
        }
    }
    for (size_t i = dialogs.size(); i-- > 0;) {
        if (i >= dialogs.size()) {
            continue;
        }
        HWND hwnd = dialogs[i]->Hwnd();
        if (hwnd != nullptr && (msg.hwnd == hwnd || ::IsChild(hwnd, msg.hwnd)) && ::IsDialogMessageA(hwnd, &msg)) {
            return true;
        }
    }
    return false;
}

void CancelDialogsOwnedBy(HWND owner) {
    if (owner == nullptr) {
        return;
    }
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
            char className[16] = {};
            ::GetClassNameA(hwnd, className, sizeof className);
            if (::GetWindow(hwnd, GW_OWNER) == reinterpret_cast<HWND>(data) && std::strcmp(className, "#32770") == 0) {
                ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(owner));
}

int SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

bool RunMessageLoop(const std::function<bool()>& finished) {
    MSG msg;
    while (!finished()) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            }
            return false;
        }
        if (!PreTranslateThreadMessage(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

Dialog::Dialog(UINT templateId) noexcept : templateId_(templateId) {}

Dialog::~Dialog() {
    if (hwnd_ != nullptr) {
        HWND hwnd = hwnd_;
        Detach();
        ::DestroyWindow(hwnd);
    }
}

bool Dialog::Exists() const noexcept {
    return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE;
}

HWND Dialog::Create(HWND owner) {
    stayHidden_ = false;
    HWND hwnd = GF_CHECK_HANDLE(::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), owner,
                                                     &Dialog::StaticProc, reinterpret_cast<LPARAM>(this)));
    if (hwnd != nullptr && stayHidden_ && ::IsWindow(hwnd)) {
        ::ShowWindow(hwnd, SW_HIDE);
    }
    return hwnd;
}

INT_PTR Dialog::RunModal(HWND owner) {
    if (Exists()) {
        return -1;
    }
    // A modal run disables the owner's top-level window, as the system's own dialog box does.
    HWND topOwner = owner != nullptr ? ::GetAncestor(owner, GA_ROOT) : nullptr;
    modal_ = true;
    ending_ = false;
    result_ = -1;
    if (Create(topOwner) == nullptr) {
        modal_ = false;
        return -1;
    }
    const bool disabledOwner = topOwner != nullptr && ::IsWindowEnabled(topOwner) != FALSE;
    if (disabledOwner) {
        ::EnableWindow(topOwner, FALSE);
    }
    if (!ending_ && hwnd_ != nullptr && !stayHidden_ && !::IsWindowVisible(hwnd_)) {
        ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    }
    RunMessageLoop([this] { return ending_ || hwnd_ == nullptr; });

    // The owner is enabled again before the dialog goes, so that the activation returns to it.
    if (disabledOwner) {
        ::EnableWindow(topOwner, TRUE);
    }
    const INT_PTR result = result_;
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);
    }
    modal_ = false;
    ending_ = false;
    return result;
}

bool Dialog::CreateModeless(HWND owner) {
    if (Exists()) {
        return false;
    }
    modal_ = false;
    return Create(owner) != nullptr;
}

void Dialog::EndModal(INT_PTR result) {
    if (!modal_) {
        return;
    }
    result_ = result;
    ending_ = true;
    // Wakes the loop when this is called from outside a message of this dialog.
    ::PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void Dialog::DestroyWindow() {
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);
    }
}

bool Dialog::PreTranslateMessage(MSG&) {
    return false;
}

std::string Dialog::ItemText(int id) const {
    HWND item = Item(id);
    if (item == nullptr) {
        return {};
    }
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(item)) + 1, '\0');
    const int copied = ::GetWindowTextA(item, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

void Dialog::SetItemText(int id, const std::string& text) const {
    ::SetDlgItemTextA(hwnd_, id, text.c_str());
}

bool Dialog::OnInitDialog() {
    return true;
}
bool Dialog::OnCommand(WORD, WORD, HWND) {
    return false;
}
bool Dialog::OnNotify(NMHDR&, LRESULT&) {
    return false;
}
void Dialog::OnTimer(UINT_PTR) {}
void Dialog::OnSize(UINT, int, int) {}
void Dialog::OnClose() {
    EndDialogLike(IDCANCEL);
}
void Dialog::OnDestroy() {}
void Dialog::OnOK() {
    EndDialogLike(IDOK);
}
void Dialog::OnCancel() {
    EndDialogLike(IDCANCEL);
}
bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

void Dialog::EndDialogLike(INT_PTR result) {
    if (modal_) {
        EndModal(result);
    } else {
        DestroyWindow();
    }
}

void Dialog::Detach() noexcept {
    Remove(OpenDialogs(), this);
    if (hwnd_ != nullptr) {
        ::SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
    }
    hwnd_ = nullptr;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        OpenDialogs().push_back(self);
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;
    }
    // Nothing may leave a dialog procedure: the system could swallow it half-way through the message.
    INT_PTR handled = FALSE;
    platform::ContainFault("a window", [&] { handled = self->HandleMessage(message, wParam, lParam); });
    return handled;
}

INT_PTR CALLBACK Dialog::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG && lParam != 0) {
        lParam = reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam;
    }
    return StaticProc(hwnd, message, wParam, lParam);
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        if (OnCommand(id, code, reinterpret_cast<HWND>(lParam))) {
            return TRUE;
        }
        // Buttons, menus and the dialog manager's Enter/Esc send code 0; accelerators send 1.
        if (code == BN_CLICKED || code == 1) {
            if (id == IDOK) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(*reinterpret_cast<NMHDR*>(lParam), result)) {
            ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return TRUE;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_HELP: {
        // F1 is answered as handled in every dialog: a window with a page in the manual opens it
        // (OnMessage), the others do nothing.
        // A property page leaves it to its sheet, which knows the page on top.
        LRESULT shown = TRUE;
        if (!OnMessage(message, wParam, lParam, shown) && (::GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_CHILD) != 0) {
            ::SendMessageA(::GetParent(hwnd_), WM_HELP, wParam, lParam);
        }
        ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_NCDESTROY:
        // The window is gone: a modal run ends with whatever result was set, -1 if none.
        Detach();
        return FALSE;
    default:
        break;
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) {
        return FALSE;
    }
    if (AnswersDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

} // namespace glimmerfen::ui
