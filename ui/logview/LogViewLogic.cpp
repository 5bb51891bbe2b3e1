#include "ui/logview/LogViewLogic.h"

#include <cstdint>
#include <string_view>

#include "platform/codepage.h"
#include "platform/profile.h"

namespace glimmerfen::ui {

int ProgressScale::Position(std::size_t done) const {
    if (done > total_) {
        done = total_;
    }
    if (total_ <= kMaxRange) {
        return static_cast<int>(done);
    }
    // 128-bit-free: done and total fit in 64 bits, and done * 65535 does too for any file that fits
    // in memory (below 2^48 lines).
    return static_cast<int>(static_cast<std::uint64_t>(done) * kMaxRange / static_cast<std::uint64_t>(total_));
}

LogDialogPos ReadLogDialogPos(const std::string& iniPath) {
    LogDialogPos pos;
    pos.top = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "top", 0);
    pos.bottom = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "bottom", 0);
    pos.right = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "right", 0);
    pos.left = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "left", 0);
    LoadColumnWidths(pos.columns, iniPath, kLogDialogPosSection, "column%d", kLogColumnCount, 100);
    LoadShownFlags(pos.columns, iniPath, kLogDialogPosSection, "columnck%d", kLogColumnCount, 1);
    return pos;
}

void WriteLogDialogPos(const std::string& iniPath, const LogDialogPos& pos) {
    const auto write = [&](const char* key, int value) {
        platform::ProfileWriteInt(iniPath, kLogDialogPosSection, key, value);
    };
    write("top", pos.top);
    write("bottom", pos.bottom);
    write("right", pos.right);
    write("left", pos.left);
    SaveColumnWidths(pos.columns, iniPath, kLogDialogPosSection, "column%d", kLogColumnCount);
    SaveShownFlags(pos.columns, iniPath, kLogDialogPosSection, "columnck%d", kLogColumnCount);
}

LogViewLayout ComputeLogViewLayout(int left, int top, int right, int bottom, int dpi) {
    // Distances of a 96-dots-per-inch screen, grown with the system's scaling (as the caption is).
    const auto px = [dpi](int distance) { return ScaleForDpi(distance, dpi); };
    LogViewLayout layout;
    layout.tree = {left + px(10), top + px(25), px(125), bottom - px(25)};
    layout.list = {left + px(140), top + px(25), right - px(145), bottom - px(25)};
    if (right > px(150)) {
        layout.status = {left + px(10), bottom - px(20), right - px(150), px(13)};
        layout.progress = {right - px(145), bottom - px(20), px(135), px(13)};
    } else {
        layout.status = {left + px(10), bottom - px(20), right - px(15), px(13)};
        layout.progress = {right, bottom - px(20), 0, px(13)};
    }
    return layout;
}

namespace {

void AppendFileNamePart(std::string& out, std::string_view part) {
    for (std::size_t i = 0; i < part.size(); ++i) {
        const auto byte = static_cast<unsigned char>(part[i]);
        if (platform::IsLeadByte(byte) && i + 1 < part.size()) {
            out += part[i];
            out += part[++i];
            continue;
        }
        const bool reserved =
            byte < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(byte)) != std::string_view::npos;
        out += reserved ? '_' : static_cast<char>(byte);
    }
}

} // namespace

std::string CsvFileNameFor(const LogSelection& selection) {
    std::string name = "log";
    if (selection.kind != LogSelection::Kind::None) {
        name += '_';
        AppendFileNamePart(name, selection.date);
    }
    if (selection.kind == LogSelection::Kind::User) {
        name += '_';
        AppendFileNamePart(name, selection.user);
    }
    return name + ".csv";
}

} // namespace glimmerfen::ui
