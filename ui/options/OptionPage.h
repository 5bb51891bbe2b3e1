// What the option pages share: check boxes as 0 and 1, enabling, number boxes with their spin
// controls and the in-place correction of a typed number.
#pragma once

#include <string>

#include "ui/framework/PropertySheet.h"
#include "ui/options/OptionLogic.h"

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::ui {

class COptionPage : public CPropertyPage {
public:
    COptionPage(UINT templateId, const AppSettings& settings) noexcept
        : CPropertyPage(templateId), settings_(settings) {}

protected:
    const AppSettings& Settings() const noexcept { return settings_; }

    int Ticked(int id) const;
    void Tick(int id, int ticked) const;
    void EnableItem(int id, bool enabled) const;
    int NumberOf(int id) const;
    // Puts `value` into the number box and gives its spin the range, the position and the box as buddy.
    void SetUpNumberBox(int editId, int spinId, int low, int high, int value);

    // Writes texts without taking them for the user's changes (filling, corrections).
    void SetTextQuietly(int id, const std::string& text);
    // True while the page itself writes a text: the edit's change notification is then not a change
    // of the user's.
    bool Writing() const noexcept { return writing_; }

    // The user changed a number box's text: corrects it in place when it is out of its range (the
    // corrected text sets off no further correction) and marks the page modified.
    void NumberChanged(int id, NumberBox box);
    // The user changed anything else.
    void Changed();

private:
    const AppSettings& settings_;
    bool writing_ = false;
};

} // namespace glimmerfen::ui
