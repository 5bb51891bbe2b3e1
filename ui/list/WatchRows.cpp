#include "ui/list/WatchRows.h"

#include <algorithm>
#include <utility>

namespace glimmerfen::ui {

RefreshRows ReadRefresh(const Watch& watch, FileWatches& watches, std::int32_t now) {
    RefreshRows data;
    const bool watching = watches.Count() > 0;
    const bool pollFailed = watching && !watch.State().SeesServer();
    watch.Read([&](bool hasTable, int entryCount, const Watch::ForEachEntry& forEach) {
        data.hasTable = hasTable;
        data.entryCount = entryCount;
        data.rows.reserve(static_cast<std::size_t>(std::max(entryCount, 0)));
        forEach([&](const AccessEntry& entry) { data.rows.push_back(MakeListRow(entry)); });
        if (watching && hasTable) {
            watches.Check(forEach, pollFailed, now);
            for (ListRow& row : data.rows) {
                row.watched = !row.texts[4].empty() && watches.Watched(row.texts[4], row.texts[1]);
            }
        }
    });
    return data;
}

DetailsUpdate ReadDetails(Watch& watch, SelectedRow selected) {
    DetailsUpdate update;
    watch.Read([&](bool hasTable, int entryCount, const Watch::ForEachEntry& forEach) {
        DetailsFinder finder(hasTable, entryCount, std::move(selected));
        forEach([&](const AccessEntry& entry) { finder.Visit(entry); });
        update = finder.Result();
    });
    if (update.kind == DetailsUpdate::Kind::Set) {
        // Looked up outside the table's lock.
        update.values[0] = watch.ClientDisplay(update.values[0]);
    }
    return update;
}

std::optional<std::int32_t> FindOpening(const Watch& watch, const std::string& path, const std::string& user) {
    std::optional<std::int32_t> fileId;
    watch.Read([&](bool, int, const Watch::ForEachEntry& forEach) {
        forEach([&](const AccessEntry& entry) {
            if (!fileId && entry.staleSeconds == 0.0f && entry.pathName == path && entry.userName == user) {
                fileId = entry.fileId;
            }
        });
    });
    return fileId;
}

} // namespace glimmerfen::ui
