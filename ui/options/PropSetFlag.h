// "View Settings" (dialog 136): how the list window starts, stays on top, pops up and closes again,
// and the start-up shortcut.
#pragma once

#include "ui/options/OptionPage.h"

namespace glimmerfen::ui {

class CPropSetFlag : public COptionPage {
public:
    explicit CPropSetFlag(const AppSettings& settings) noexcept;
    // What Apply reads; only while the page's window exists.
    ViewPageValues Values() const;

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
};

} // namespace glimmerfen::ui
