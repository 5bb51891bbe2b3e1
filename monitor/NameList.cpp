#include "monitor/NameList.h"

#include <algorithm>

#include "settings/Settings.h"
#include "platform/ansitext.h"

namespace glimmerfen {

std::vector<std::string_view> SplitList(std::string_view text) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            items.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return items;
}

bool IsAcceptablePc(const AppSettings& settings, std::string_view computerName) {
    // A copy of the list as it is at this call; the user may replace it meanwhile.
    const auto list = settings.DisJuncOkPcStr.Snapshot();
    const std::vector<std::string_view> items = SplitList(*list);
    return std::any_of(items.begin(), items.end(),
                       [&](std::string_view item) { return AnsiEqualNoCase(item, computerName); });
}

CaseFreeNameSet::CaseFreeNameSet(std::string_view listText) {
    for (std::string_view item : SplitList(listText)) {
        items_.insert(AnsiUpper(item));
    }
}

bool CaseFreeNameSet::Contains(std::string_view name) const {
    return !name.empty() && items_.count(AnsiUpper(name)) != 0;
}

} // namespace glimmerfen
