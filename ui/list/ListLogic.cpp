#include "ui/list/ListLogic.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <unordered_set>
#include <utility>

#include "settings/Settings.h"
#include "platform/ansitext.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "res/resource.h"

namespace glimmerfen::ui {

const std::array<unsigned, kAccessColumnCount> kAccessColumnHeaderIds = {
    IDS_COL_CLIENT_NAME, IDS_COL_USER_NAME, IDS_COL_START_TIME, IDS_COL_OPERATION, IDS_COL_PATH_NAME,
};

const std::array<unsigned, kDetailRowCount> kDetailLabelIds = {
    IDS_COL_CLIENT_NAME,    IDS_COL_USER_NAME, IDS_COL_OPENS,      IDS_COL_START_TIME,
    IDS_COL_CONNECTED_TIME, IDS_COL_IDLE_TIME, IDS_COL_USER_IDENT, IDS_COL_CLIENT_TYPE,
    IDS_COL_PROCESS_ID,     IDS_COL_OPERATION, IDS_COL_LOCKS,      IDS_COL_PATH_NAME,
};

PathParts SplitPath(std::string_view path) {
    PathParts parts;
    const std::size_t nameStart = AnsiFileNameStart(path);
    const std::size_t driveLength = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    parts.drive = path.substr(0, driveLength);
    parts.directory = path.substr(driveLength, nameStart - driveLength);
    const std::string_view name = path.substr(nameStart);
    // No trail byte is a dot, so the last dot of the name is a character of its own.
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        parts.fileName = name.substr(0, dot);
        parts.extension = name.substr(dot);
    } else {
        parts.fileName = name;
    }
    return parts;
}

RowImage ChooseRowImage(std::string_view pathName, float staleSeconds) {
    const PathParts parts = SplitPath(pathName);
    const bool gone = staleSeconds > 1.0f;
    if (!parts.extension.empty()) {
        return gone ? RowImage::FileGone : RowImage::File;
    }
    if (!parts.directory.empty()) {
        return gone ? RowImage::FolderGone : RowImage::Folder;
    }
    return gone ? RowImage::SessionGone : RowImage::Session;
}

ListRow MakeListRow(const AccessEntry& entry) {
    ListRow row;
    row.key = entry.key;
    row.texts = {entry.clientName, entry.userName, entry.startTimeText, entry.operation, entry.pathName};
    row.image = ChooseRowImage(entry.pathName, entry.staleSeconds);
    return row;
}

DetailValues MakeDetailValues(const AccessEntry& entry) {
    return {
        entry.clientName,
        entry.userName,
        std::to_string(entry.openCount),
        entry.startTimeText,
        entry.connectedText,
        entry.idleText,
        entry.userIdent,
        entry.clientType,
        std::to_string(entry.fileId),
        entry.operation,
        std::to_string(entry.lockCount),
        entry.pathName,
    };
}

namespace {

unsigned ChangedCells(const ListRow& shown, const ListRow& wanted) {
    unsigned mask = 0;
    for (int i = 0; i < kAccessColumnCount; ++i) {
        if (shown.texts[static_cast<std::size_t>(i)] != wanted.texts[static_cast<std::size_t>(i)]) {
            mask |= 1u << i;
        }
    }
    if (shown.image != wanted.image || shown.watched != wanted.watched) {
        mask |= RowChange::kImageBit;
    }
    return mask;
}

// Every key once, and the keys present in both lists in the same order in both.
bool KeysKeepTheirOrder(const std::vector<ListRow>& shown, const std::vector<ListRow>& wanted,
                        const std::unordered_set<std::int32_t>& shownKeys,
                        const std::unordered_set<std::int32_t>& wantedKeys) {
    if (shownKeys.size() != shown.size() || wantedKeys.size() != wanted.size()) {
        return false;
    }
    std::size_t j = 0;
    for (const ListRow& row : shown) {
        if (wantedKeys.count(row.key) == 0) {
            continue;
        }
        while (j < wanted.size() && shownKeys.count(wanted[j].key) == 0) {
            ++j;
        }
        if (j == wanted.size() || wanted[j].key != row.key) {
            return false;
        }
        ++j;
    }
    return true;
}

std::vector<RowChange> DiffByPosition(const std::vector<ListRow>& shown, const std::vector<ListRow>& wanted) {
    std::vector<RowChange> changes;
    const std::size_t common = std::min(shown.size(), wanted.size());
    for (std::size_t p = 0; p < common; ++p) {
        if (const unsigned mask = ChangedCells(shown[p], wanted[p]); mask != 0) {
            changes.push_back({RowChange::Kind::Set, static_cast<int>(p), static_cast<int>(p), mask});
        }
    }
    for (std::size_t p = shown.size(); p > wanted.size(); --p) {
        changes.push_back({RowChange::Kind::Delete, static_cast<int>(p - 1), -1, 0});
    }
    for (std::size_t p = shown.size(); p < wanted.size(); ++p) {
        changes.push_back({RowChange::Kind::Insert, static_cast<int>(p), static_cast<int>(p), RowChange::kAllCells});
    }
    return changes;
}

} // namespace

std::vector<RowChange> DiffRows(const std::vector<ListRow>& shown, const std::vector<ListRow>& wanted) {
    std::unordered_set<std::int32_t> shownKeys;
    std::unordered_set<std::int32_t> wantedKeys;
    shownKeys.reserve(shown.size());
    wantedKeys.reserve(wanted.size());
    for (const ListRow& row : shown) {
        shownKeys.insert(row.key);
    }
    for (const ListRow& row : wanted) {
        wantedKeys.insert(row.key);
    }
    if (!KeysKeepTheirOrder(shown, wanted, shownKeys, wantedKeys)) {
        return DiffByPosition(shown, wanted);
    }

    std::vector<RowChange> changes;
    std::size_t i = 0;
    std::size_t j = 0;
    int row = 0;
    while (i < shown.size() || j < wanted.size()) {
        if (i < shown.size() && wantedKeys.count(shown[i].key) == 0) {
            changes.push_back({RowChange::Kind::Delete, row, -1, 0});
            ++i;
        } else if (j < wanted.size() && shownKeys.count(wanted[j].key) == 0) {
            changes.push_back({RowChange::Kind::Insert, row, static_cast<int>(j), RowChange::kAllCells});
            ++j;
            ++row;
        } else {
            // The order check guarantees that shown[i] and wanted[j] are the same entry here.
            if (const unsigned mask = ChangedCells(shown[i], wanted[j]); mask != 0) {
                changes.push_back({RowChange::Kind::Set, row, static_cast<int>(j), mask});
            }
            ++i;
            ++j;
            ++row;
        }
    }
    return changes;
}

DetailsFinder::DetailsFinder(bool hasTable, std::int32_t entryCount, SelectedRow selected)
    : hasTable_(hasTable), entryCount_(entryCount), selected_(std::move(selected)) {}

void DetailsFinder::Visit(const AccessEntry& entry) {
    sawEntry_ = true;
    if (selected_.selectionMark == -1) {
        return;
    }
    // The last match walked, the oldest, is the one that stays shown.
    if (entry.clientName == selected_.clientName && entry.userName == selected_.userName &&
        entry.pathName == selected_.pathName) {
        match_ = MakeDetailValues(entry);
    }
}

DetailsUpdate DetailsFinder::Result() const {
    DetailsUpdate update;
    if (!hasTable_ || !sawEntry_) {
        return update;
    }
    if (selected_.selectionMark == -1 || entryCount_ <= 0) {
        update.kind = DetailsUpdate::Kind::Clear;
        return update;
    }
    if (match_) {
        update.kind = DetailsUpdate::Kind::Set;
        update.values = *match_;
    }
    return update;
}

PopupSettings PopupSettingsFrom(const AppSettings& settings) {
    PopupSettings s;
    s.DlgPopFlag = settings.DlgPopFlag.load();
    s.DlgPopCloseFlag = settings.DlgPopCloseFlag.load();
    s.DlgPopTime = settings.DlgPopTime.load();
    s.TopDlg = settings.TopDlg.load();
    s.CycleTime2 = settings.CycleTime2.load();
    return s;
}

PopupActions ListWindowState::UpdatePopup(int entryCount, const PopupSettings& settings) {
    PopupActions actions;
    // Pop-up.
    if (entryCount > previousCount && poppedUp == 0 && openedByUser == 0 && settings.DlgPopFlag == 1) {
        popupSeconds = 0;
        poppedUp = 1;
        actions.popUp = true;
        actions.popUpTopmost = settings.TopDlg == 1;
    }
    // Close mode 0: the accesses are gone.
    if (entryCount == 0 && previousCount > 0 && settings.DlgPopCloseFlag == 0) {
        poppedUp = 0;
        actions.hideAndSave = true;
        OnHideAndSave();
    }
    // Close mode 1: after DlgPopTime seconds, counted in whole seconds of refresh periods.
    if (poppedUp == 1 && settings.DlgPopCloseFlag == 1) {
        const long long counted = static_cast<long long>(popupSeconds) + settings.CycleTime2 / 1000;
        popupSeconds = static_cast<int>(std::clamp<long long>(counted, INT32_MIN, INT32_MAX));
        if (popupSeconds > settings.DlgPopTime) {
            popupSeconds = 0;
            poppedUp = 0;
            if (openedByUser != 1 && settings.DlgPopTime != 0) {
                actions.hideAndSave = true;
                OnHideAndSave();
            } else {
                actions.show = true;
            }
        }
    }
    previousCount = entryCount;
    return actions;
}

void ListWindowState::OnHideAndSave() {
    openedByUser = 0;
    poppedUp = 0;
    popupSeconds = 0;
}

ListLayout ComputeLayout(int left, int top, int right, int bottom, int detailsShown, int dpi) {
    // The distances are those of a screen of 96 dots per inch, grown with the system's scaling: the
    // caption and frame that the first ones clear grow with it too.
    const auto px = [dpi](int distance) { return ScaleForDpi(distance, dpi); };
    ListLayout layout;
    const int middle = (top + bottom) / 2; // truncated toward zero
    if (detailsShown == 0) {
        layout.accessList = {left + px(5), top + px(20), right - px(5), bottom - px(10)};
        return layout;
    }
    if (middle < px(150)) {
        layout.accessList = {left + px(5), top + px(20), right - px(5), bottom - middle - px(20)};
        layout.detailsList = {left + px(5), top + middle + px(20), right - px(5), middle + px(7)};
    } else {
        layout.accessList = {left + px(5), top + px(20), right - px(5), bottom - px(165)};
        layout.detailsList = {left + px(5), bottom - px(160), right - px(5), px(150)};
    }
    layout.detailsVisible = true;
    // The column message takes 16 bits, and -1 and -2 there mean "fit the contents": a window narrower
    // than the labels gets a value column of width 0 instead.
    layout.detailsValueWidth = std::max(0, right - left - px(130)) & 0xFFFF;
    return layout;
}

namespace {
const char* const kColumnKeys[kAccessColumnCount] = {"column0", "column1", "column2", "column3", "column4"};
}

std::string WatchedCaption(const std::string& caption, const std::string& computer) {
    return computer.empty() ? caption : caption + " - \\\\" + computer;
}

DialogPos ReadDialogPos(const std::string& iniPath) {
    DialogPos pos;
    pos.top = platform::ProfileGetInt(iniPath, kDialogPosSection, "top", 0);
    pos.bottom = platform::ProfileGetInt(iniPath, kDialogPosSection, "bottom", 0);
    pos.right = platform::ProfileGetInt(iniPath, kDialogPosSection, "right", 0);
    pos.left = platform::ProfileGetInt(iniPath, kDialogPosSection, "left", 0);
    pos.dlgSize = platform::ProfileGetInt(iniPath, kDialogPosSection, "dlgSize", 0);
    for (int i = 0; i < kAccessColumnCount; ++i) {
        pos.columns[static_cast<std::size_t>(i)] =
            platform::ProfileGetInt(iniPath, kDialogPosSection, kColumnKeys[i], kDefaultColumnWidth);
    }
    return pos;
}

void WriteDialogPos(const std::string& iniPath, const DialogPos& pos) {
    const auto write = [&](const char* key, int value) {
        platform::ProfileWriteInt(iniPath, kDialogPosSection, key, value);
    };
    write("top", pos.top);
    write("bottom", pos.bottom);
    write("right", pos.right);
    write("left", pos.left);
    write("dlgSize", pos.dlgSize);
    for (int i = 0; i < kAccessColumnCount; ++i) {
        write(kColumnKeys[i], pos.columns[static_cast<std::size_t>(i)]);
    }
}

} // namespace glimmerfen::ui
