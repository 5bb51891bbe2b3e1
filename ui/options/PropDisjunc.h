// "Disconnect Setting" (dialog 137): the automatic disconnection by computer name, by file extension
// and by connection time.
#pragma once

#include "ui/options/OptionPage.h"

namespace glimmerfen::ui {

class CPropDisjunc : public COptionPage {
public:
    explicit CPropDisjunc(const AppSettings& settings) noexcept;
    DisconnectPageValues Values() const;

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    // The options and lists of the computer rule, from 1016 and 1028 as they stand.
    void EnablePcRule();
};

} // namespace glimmerfen::ui
