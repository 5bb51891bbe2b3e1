#include "ui/framework/Dpi.h"

namespace glimmerfen::ui {

int ScaleForDpi(int distance, int dpi) {
    if (dpi <= 0 || dpi == kDefaultDpi) {
        return distance;
    }
    return static_cast<int>((static_cast<long long>(distance) * dpi + kDefaultDpi / 2) / kDefaultDpi);
}

} // namespace glimmerfen::ui
