#include "ui/logview/ActivityStrip.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

#include "ui/framework/Dialog.h"

namespace glimmerfen::ui {

namespace {

constexpr const char* kStripClass = "GlimmerfenActivityStrip";

bool RegisterStripClass() {
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
        wc.lpszClassName = kStripClass;
        return ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

} // namespace

bool CActivityStrip::Create(HWND parent, int id) {
    if (!RegisterStripClass()) {
        return false;
    }
    // A window made again (the viewer opened anew) starts without bars.
    bars_ = {};
    columns_ = {};
    tipOf_ = nullptr;
    labels_.clear();
    toolAdded_ = false;
    tipColumn_ = -1;
    dragging_ = false;
    hwnd_ = ::CreateWindowExA(WS_EX_CLIENTEDGE, kStripClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
    if (hwnd_ == nullptr) {
        return false;
    }
    ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CActivityStrip::Proc));
    tooltip_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
    return true;
}

void CActivityStrip::SetBars(ActivityBars bars, TipOf tipOf, std::vector<Label> labels) {
    bars_ = std::move(bars);
    tipOf_ = std::move(tipOf);
    labels_ = std::move(labels);
    Relayout();
    if (hwnd_ != nullptr) {
        ::InvalidateRect(hwnd_, nullptr, TRUE);
    }
}

void CActivityStrip::Relayout() {
    RECT client{};
    if (hwnd_ != nullptr) {
        ::GetClientRect(hwnd_, &client);
    }
    columns_ = StripColumns(bars_, client.right, SystemDpi());
    tipColumn_ = -1;
    if (tooltip_ == nullptr) {
        return;
    }
    // One tool over the whole window, whose text is asked for when it shows: a resize only moves its
    // rectangle, however many columns there are.
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = 0;
    tool.rect = client;
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    if (!toolAdded_) {
        toolAdded_ = ::SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
    } else {
        ::SendMessageA(tooltip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    // A tip up for the old columns goes.
    ::SendMessageA(tooltip_, TTM_POP, 0, 0);
}

void CActivityStrip::GiveTip(NMHDR& header) {
    POINT at{};
    ::GetCursorPos(&at);
    ::ScreenToClient(hwnd_, &at);
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    const int column = columns_.HitTest(at.x, at.y, client.bottom);
    tipColumn_ = column;
    tipText_.clear();
    if (column >= 0 && tipOf_) {
        tipText_ = tipOf_(bars_, columns_.columns()[static_cast<std::size_t>(column)]);
    }
    if (header.code == TTN_GETDISPINFOW) {
        tipWide_.assign(tipText_.size() + 1, L'\0');
        const int n = ::MultiByteToWideChar(CP_ACP, 0, tipText_.data(), static_cast<int>(tipText_.size()),
                                            tipWide_.data(), static_cast<int>(tipWide_.size()));
        tipWide_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        info.lpszText = tipWide_.data();
        info.szText[0] = L'\0';
        info.hinst = nullptr;
    } else {
        auto& info = reinterpret_cast<NMTTDISPINFOA&>(header);
        info.lpszText = tipText_.data();
        info.szText[0] = '\0';
        info.hinst = nullptr;
    }
}

void CActivityStrip::Paint() {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(hwnd_, &ps);
    if (dc == nullptr) {
        return;
    }
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
    const int dpi = SystemDpi();
    const std::size_t count = columns_.columns().size();
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(::GetParent(hwnd_), WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    // The labels take a line of text at the bottom when the bars keep at least twice that.
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    const int labelHeight = !labels_.empty() && client.bottom >= 3 * metrics.tmHeight ? metrics.tmHeight : 0;
    const int barsHeight = client.bottom - labelHeight;
    if (count != 0) {
        // The base line, then the bars on it.
        const LogViewLayout::Box first = columns_.Column(0, barsHeight);
        const LogViewLayout::Box last = columns_.Column(count - 1, barsHeight);
        const LogViewLayout::Box base = columns_.BarBox(0, barsHeight);
        const int baseY = base.height == 0 ? base.y : base.y + base.height;
        const int y = baseY < barsHeight ? baseY : barsHeight - 1;
        RECT line{first.x, y, last.x + last.width, y + 1};
        ::FillRect(dc, &line, ::GetSysColorBrush(COLOR_GRAYTEXT));
        for (std::size_t i = 0; i < count; ++i) {
            const LogViewLayout::Box bar = columns_.BarBox(i, barsHeight);
            if (bar.height == 0 || bar.width == 0) {
                continue;
            }
            RECT r{bar.x, bar.y, bar.x + bar.width, bar.y + bar.height};
            if (::RectVisible(dc, &r)) {
                ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_HIGHLIGHT));
            }
        }
        if (labelHeight != 0) {
            PaintLabels(dc, client, labelHeight, dpi);
        }
    }
    if (oldFont != nullptr) {
        ::SelectObject(dc, oldFont);
    }
    ::EndPaint(hwnd_, &ps);
}

void CActivityStrip::PaintLabels(HDC dc, const RECT& client, int labelHeight, int dpi) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    const int top = client.bottom - labelHeight - ScaleForDpi(1, dpi);
    int freeFrom = 0; // a label never covers the one before it
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        const Label& label = labels_[i];
        if (label.bar >= bars_.bars().size()) {
            continue;
        }
        const LogViewLayout::Box column = columns_.Column(columns_.ColumnOfBar(label.bar), client.bottom);
        SIZE size{};
        ::GetTextExtentPoint32A(dc, label.text.c_str(), static_cast<int>(label.text.size()), &size);
        const int x = label.atEnd ? column.x + column.width - size.cx : column.x;
        if (x < freeFrom || x + size.cx > client.right) {
            continue;
        }
        ::TextOutA(dc, x, top, label.text.c_str(), static_cast<int>(label.text.size()));
        freeFrom = x + size.cx + ScaleForDpi(4, dpi);
    }
}

bool CActivityStrip::InSizeZone(int y) const {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    return y >= client.bottom - ScaleForDpi(5, SystemDpi());
}

LRESULT CALLBACK CActivityStrip::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CActivityStrip*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->hwnd_ != hwnd) {
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    // Nothing may escape into the system's dispatch.
    try {
        return self->Handle(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT CActivityStrip::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        Relayout();
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header != nullptr && header->hwndFrom == tooltip_ &&
            (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW)) {
            GiveTip(*header);
            return 0;
        }
        break;
    }
    case WM_SETCURSOR: {
        POINT at{};
        ::GetCursorPos(&at);
        ::ScreenToClient(hwnd_, &at);
        if (LOWORD(lParam) == HTCLIENT && (dragging_ || InSizeZone(at.y))) {
            ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32645))); // north-south arrows
            return TRUE;
        }
        break;
    }
    case WM_LBUTTONDOWN: {
        const int x = GET_X_LPARAM(lParam);
        const int y = GET_Y_LPARAM(lParam);
        if (InSizeZone(y) && onResize) {
            RECT window{};
            ::GetWindowRect(hwnd_, &window);
            POINT at{x, y};
            ::ClientToScreen(hwnd_, &at);
            dragging_ = true;
            dragStartY_ = at.y;
            dragStartHeight_ = window.bottom - window.top;
            ::SetCapture(hwnd_);
            return 0;
        }
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        const int column = columns_.HitTest(x, y, client.bottom);
        if (column >= 0 && onPick) {
            const std::uint32_t first = columns_.columns()[static_cast<std::size_t>(column)].first;
            if (first != kNoListedLine) {
                onPick(first);
            }
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (!dragging_ && tooltip_ != nullptr && tipColumn_ >= 0) {
            // Over another column the tip asks for its text again.
            RECT client{};
            ::GetClientRect(hwnd_, &client);
            if (columns_.HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), client.bottom) != tipColumn_) {
                ::SendMessageA(tooltip_, TTM_UPDATE, 0, 0);
            }
        }
        if (dragging_ && onResize) {
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ClientToScreen(hwnd_, &at);
            const int pixels = dragStartHeight_ + (at.y - dragStartY_);
            onResize(ClampStripHeight(::MulDiv(pixels, kDefaultDpi, SystemDpi())));
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragging_) {
            ::ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        tooltip_ = nullptr; // owned by the strip: destroyed with it
        toolAdded_ = false;
        dragging_ = false;
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcA(hwnd_, message, wParam, lParam);
}

} // namespace glimmerfen::ui
