#include "ui/framework/ItemText.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/ansitext.h"

namespace glimmerfen::ui {

void PutItemText(LVITEMA& item, std::string_view text) {
    if (item.pszText == nullptr || item.cchTextMax <= 0) {
        return;
    }
    const std::string cut = TruncateAnsi(std::string(text), static_cast<std::size_t>(item.cchTextMax - 1));
    std::memcpy(item.pszText, cut.c_str(), cut.size() + 1);
}

void PutItemText(LVITEMW& item, std::string_view text) {
    if (item.pszText == nullptr || item.cchTextMax <= 0) {
        return;
    }
    // Converted whole first: a conversion into a buffer that is too small writes nothing at all.
    std::wstring wide;
    if (!text.empty()) {
        const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        if (size > 0) {
            wide.resize(static_cast<std::size_t>(size));
            ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
        }
    }
    std::size_t length = std::min(wide.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    // Never the first half of a surrogate pair.
    if (length > 0 && length < wide.size() && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF) {
        --length;
    }
    std::wmemcpy(item.pszText, wide.data(), length);
    item.pszText[length] = L'\0';
}

} // namespace glimmerfen::ui
