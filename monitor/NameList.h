// ";"-separated lists of computer names or extensions, and the acceptable-PC test.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace glimmerfen {

struct AppSettings;

// The items between ";" separators, in list order; empty items are skipped, nothing is trimmed. The
// views point into text.
std::vector<std::string_view> SplitList(std::string_view text);

// True when the name equals an item of DisJuncOkPcStr, ignoring case. An empty name never does.
bool IsAcceptablePc(const AppSettings& settings, std::string_view computerName);

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
