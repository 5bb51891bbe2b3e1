// What the access list window reads from its watch, decided without a window: one refresh's rows with
// the file watches checked against the same entries, the selected row's details, and the opening a
// "Notify when closed" watches.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/Watch.h"
#include "monitor/FileWatches.h"
#include "ui/list/ListLogic.h"

namespace glimmerfen::ui {

struct RefreshRows {
    bool hasTable = false;
    int entryCount = 0;
    std::vector<ListRow> rows;
};

// The rows of the watch's table, newest first, each marked when its file is watched. The watches are
// decided on the same entries: one whose opening is gone ends as closed at now, unless the last poll
// saw no server (a failed poll, or a service out of reach, found nothing, which closes nothing). Only
// the rows are copied under the table's lock.
RefreshRows ReadRefresh(const Watch& watch, FileWatches& watches, std::int32_t now);

// The details of the selected row's entry, its client shown with its name when known by address.
DetailsUpdate ReadDetails(Watch& watch, SelectedRow selected);

// The server's id of the opening of path by user that the last poll found; nothing when no poll finds
// it open any more.
std::optional<std::int32_t> FindOpening(const Watch& watch, const std::string& path, const std::string& user);

} // namespace glimmerfen::ui
