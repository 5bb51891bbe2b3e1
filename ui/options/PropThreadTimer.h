// "Advanced" (dialog 142): the priority and the timer interval of the two monitor threads, "INITIAL"
// and "Momentary Set".
#pragma once

#include "ui/options/OptionPage.h"

namespace glimmerfen::ui {

class CPropThreadTimer : public COptionPage {
public:
    explicit CPropThreadTimer(const AppSettings& settings) noexcept;
    AdvancedPageValues Values() const;

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    void Show(const AdvancedPageValues& values);
};

} // namespace glimmerfen::ui
