// Messages of the portable layer: there is no window system, so the text goes to standard error.
#include "platform/notify.h"

#include <cstdio>

namespace glimmerfen::platform {

void ShowSystemMessage(const std::string& text, const std::string& caption, MessageIcon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}

} // namespace glimmerfen::platform
