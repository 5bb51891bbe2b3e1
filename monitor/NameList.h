// ";"-separated lists of computer names or extensions, and the acceptable-PC test.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/ansitext.h"

namespace glimmerfen {

struct AppSettings;

// True when the name equals an item of DisJuncOkPcStr, ignoring case. An empty name never does.
bool IsAcceptablePc(const AppSettings& settings, std::string_view computerName);

// The list text with name added at its end, or unchanged when an item equals name byte for byte
// (letter case counts here, unlike IsAcceptablePc). An empty list becomes name; otherwise ";" and name
// are appended, also after a trailing ";" ("A;" gives "A;;PC1", whose empty item is skipped when the
// list is split). An empty name leaves the list unchanged: it could never match a computer.
std::string AddNameToList(std::string_view listText, std::string_view name);

// The two computer lists of the automatic disconnection.
enum class PcList {
    Acceptable, // DisJuncOkPcStr, selected by DisJuncOkPcFlag
    Denied,     // DisJuncNgPcStr, selected by DisJuncNgPcFlag
};

// The list window's "Add to Acceptable PC" / "Add to Denied PC" for the computer name of a row: adds
// the name (AddNameToList) and publishes the new text as a whole, so a poll reads the old list or the
// new one. When the list's own selector is 0, askSwitch is called (also when the name was already
// there); true (OK) makes this list the target: its selector becomes 1 and the other one 0. An empty
// name changes nothing and asks nothing. Called on the user-interface thread, the only one that
// changes these settings.
void AddToPcList(AppSettings& settings, PcList which, std::string_view name, const std::function<bool()>& askSwitch);

// The items of a list upper-cased once, for testing many names against one list.
class CaseFreeNameSet {
public:
    explicit CaseFreeNameSet(std::string_view listText);
    bool Contains(std::string_view name) const;
    bool Empty() const { return items_.empty(); }

private:
    std::unordered_set<std::string> items_;
};

} // namespace glimmerfen
