// "Log Settings" (dialog 135): whether accesses are logged, how long the log keeps them, which lines
// are left out, and whether events also go to the Windows event log.
#pragma once

#include "ui/options/OptionPage.h"

namespace glimmerfen::ui {

class CPropLogChk : public COptionPage {
public:
    explicit CPropLogChk(const AppSettings& settings) noexcept;
    LogPageValues Values() const;

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    // 1023, 1045 and 1044 follow "Saving log-file."; the spin stays enabled.
    void EnableLogControls(bool logOut);
};

} // namespace glimmerfen::ui
