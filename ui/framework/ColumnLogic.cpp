#include "ui/framework/ColumnLogic.h"

#include "platform/profile.h"

#include <algorithm>
#include <cstdio>

namespace glimmerfen::ui {

void ColumnTable::Track(std::span<const int> currentWidths) noexcept {
    const size_t count = std::min(currentWidths.size(), static_cast<size_t>(kTracked));
    for (size_t i = 0; i < count; ++i) {
        const int width = currentWidths[i];
        if (width == 0) {
            shown[i] = 0;
        } else if (width > 0 && (shown[i] == 1 || shown[i] == 0)) {
            shown[i] = 1;
            widths[i] = width;
        }
    }
}

int ColumnTable::CreationWidth(int column) const noexcept {
    if (!IsTracked(column)) {
        return 0;
    }
    return shown[static_cast<size_t>(column)] != 0 ? widths[static_cast<size_t>(column)] : 0;
}

std::optional<int> ColumnTable::Toggle(int column) noexcept {
    if (!IsTracked(column)) {
        return std::nullopt;
    }
    const auto i = static_cast<size_t>(column);
    if (shown[i] == 1) {
        shown[i] = 0;
        return 0;
    }
    shown[i] = 1;
    return static_cast<int>(static_cast<std::uint16_t>(widths[i]));
}

namespace {

std::string Key(const char* format, int column) {
    char key[64];
    std::snprintf(key, sizeof key, format, column);
    return key;
}

int Clamp(int count) {
    return std::clamp(count, 0, ColumnTable::kTracked);
}

} // namespace

void LoadColumnWidths(ColumnTable& table, const std::string& iniPath, const char* section, const char* widthKey,
                      int count, int defaultWidth) {
    for (int i = 0; i < Clamp(count); ++i) {
        table.widths[static_cast<size_t>(i)] =
            platform::ProfileGetInt(iniPath, section, Key(widthKey, i).c_str(), defaultWidth);
    }
}

void LoadShownFlags(ColumnTable& table, const std::string& iniPath, const char* section, const char* shownKey,
                    int count, int defaultFlag) {
    for (int i = 0; i < Clamp(count); ++i) {
        table.shown[static_cast<size_t>(i)] =
            platform::ProfileGetInt(iniPath, section, Key(shownKey, i).c_str(), defaultFlag);
    }
}

void SaveColumnWidths(const ColumnTable& table, const std::string& iniPath, const char* section, const char* widthKey,
                      int count) {
    for (int i = 0; i < Clamp(count); ++i) {
        platform::ProfileWriteString(iniPath, section, Key(widthKey, i).c_str(),
                                     std::to_string(table.widths[static_cast<size_t>(i)]).c_str());
    }
}

void SaveShownFlags(const ColumnTable& table, const std::string& iniPath, const char* section, const char* shownKey,
                    int count) {
    for (int i = 0; i < Clamp(count); ++i) {
        platform::ProfileWriteString(iniPath, section, Key(shownKey, i).c_str(),
                                     std::to_string(table.shown[static_cast<size_t>(i)]).c_str());
    }
}

} // namespace glimmerfen::ui
