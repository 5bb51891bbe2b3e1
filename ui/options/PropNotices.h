// "Notices" (dialog 145): which notices the tray shows.
#pragma once

#include "ui/options/OptionPage.h"

namespace glimmerfen::ui {

class CPropNotices : public COptionPage {
public:
    explicit CPropNotices(const AppSettings& settings) noexcept;
    NoticePageValues Values() const;

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
};

} // namespace glimmerfen::ui
