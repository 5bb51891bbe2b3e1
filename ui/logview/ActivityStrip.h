// The log viewer's activity strip: a child window that draws ActivityBars in the system's colours (as
// many columns as it has pixels for), tells the count of the column under the mouse in a tooltip,
// reports a click on a column, and lets its bottom edge be dragged to change its height.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/logview/LogViewLogic.h"

namespace glimmerfen::ui {

class CActivityStrip {
public:
    CActivityStrip() noexcept = default;
    CActivityStrip(const CActivityStrip&) = delete;
    CActivityStrip& operator=(const CActivityStrip&) = delete;

    // Creates the strip as a child of parent with the control id; false when it could not be made.
    bool Create(HWND parent, int id);
    HWND Hwnd() const noexcept { return hwnd_; }

    // A text under the bars, starting at the column of a bar, or ending at its end.
    struct Label {
        std::size_t bar;
        std::string text;
        bool atEnd = false;
    };
    // The text of a column's tooltip, asked when the mouse comes to the column.
    using TipOf = std::function<std::string(const ActivityBars& bars, const StripColumn& column)>;
    // The bars to draw, their tooltips, and the labels under them (drawn when the strip is high enough
    // for them and the bars).
    void SetBars(ActivityBars bars, TipOf tipOf = {}, std::vector<Label> labels = {});
    const ActivityBars& Bars() const noexcept { return bars_; }

    // Called with the first listed line of a clicked column.
    std::function<void(std::uint32_t first)> onPick;
    // Called while the bottom edge is dragged, with the height asked for, in pixels at 96 dpi.
    std::function<void(int height)> onResize;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void PaintLabels(HDC dc, const RECT& client, int labelHeight, int dpi);
    // The columns for the window's width, and the one tool of the tooltip over the whole window.
    void Relayout();
    // The tooltip's text for the column under the mouse (TTN_GETDISPINFO).
    void GiveTip(NMHDR& header);
    bool InSizeZone(int y) const;

    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    ActivityBars bars_;
    StripColumns columns_;
    TipOf tipOf_;
    std::vector<Label> labels_;
    bool toolAdded_ = false;
    int tipColumn_ = -1; // the column whose text the tooltip holds
    std::string tipText_;
    std::wstring tipWide_;
    bool dragging_ = false;
    int dragStartY_ = 0;      // screen y where the drag began
    int dragStartHeight_ = 0; // the window's height then, in pixels
};

} // namespace glimmerfen::ui
