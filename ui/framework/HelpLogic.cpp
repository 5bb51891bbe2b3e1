#include "ui/framework/HelpLogic.h"

namespace glimmerfen::ui {

std::string ManualToOpen(const std::string& exeDir, const std::string& localizedName,
                         const std::function<bool(const std::string&)>& exists) {
    constexpr const char* kEnglishManual = "manual.chm";
    const std::string localized = exeDir + (localizedName.empty() ? kEnglishManual : localizedName);
    if (exists(localized)) {
        return localized;
    }
    const std::string english = exeDir + kEnglishManual;
    return exists(english) ? english : localized;
}

} // namespace glimmerfen::ui
