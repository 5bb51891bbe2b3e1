#include "monitor/NameList.h"

#include <algorithm>

#include "settings/Settings.h"
#include "platform/ansitext.h"

namespace glimmerfen {

bool IsAcceptablePc(const AppSettings& settings, std::string_view computerName) {
    // A copy of the list as it is at this call; the user may replace it meanwhile.
    const auto list = settings.DisJuncOkPcStr.Snapshot();
    const std::vector<std::string_view> items = SplitList(*list);
    return std::any_of(items.begin(), items.end(),
                       [&](std::string_view item) { return AnsiEqualNoCase(item, computerName); });
}

std::string AddNameToList(std::string_view listText, std::string_view name) {
    const std::vector<std::string_view> items = SplitList(listText);
    if (name.empty() || std::find(items.begin(), items.end(), name) != items.end()) {
        return std::string(listText);
    }
    std::string result;
    result.reserve(listText.size() + 1 + name.size());
    result.append(listText);
    if (!result.empty()) {
        result.push_back(';');
    }
    result.append(name);
    return result;
}

void AddToPcList(AppSettings& settings, PcList which, std::string_view name, const std::function<bool()>& askSwitch) {
    if (name.empty()) {
        return;
    }
    const bool acceptable = which == PcList::Acceptable;
    SharedText& list = acceptable ? settings.DisJuncOkPcStr : settings.DisJuncNgPcStr;
    std::atomic<int>& ownFlag = acceptable ? settings.DisJuncOkPcFlag : settings.DisJuncNgPcFlag;
    std::atomic<int>& otherFlag = acceptable ? settings.DisJuncNgPcFlag : settings.DisJuncOkPcFlag;

    const auto current = list.Snapshot();
    std::string updated = AddNameToList(*current, name);
    if (updated != *current) {
        list.Set(updated);
    }
    if (ownFlag.load() != 0 || !askSwitch || !askSwitch()) {
        return;
    }
    // The other selector goes first: a poll between the two stores sees neither list chosen (no
    // computer is disconnected by list for that one poll), never both.
    otherFlag.store(0);
    ownFlag.store(1);
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
