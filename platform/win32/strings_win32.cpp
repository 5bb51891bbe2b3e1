// The string table of the executable's resources, in the user-interface language.
#include "platform/strings.h"

#include <windows.h>

#include "platform/codepage.h"

namespace glimmerfen::platform {

std::string LoadText(unsigned id) {
    // With a buffer size of 0, LoadStringW hands out a pointer to the resource's own text and its
    // length, so no text is ever cut by a buffer. The resource loader picks the table of the
    // user-interface language (English or Japanese) by itself. The conversion is the one every
    // other text of the program goes through (CP_ACP), so the bytes match the names in the log.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return WideToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(length)));
}

} // namespace glimmerfen::platform
