// The row commands of the list's shortcut menu, decided without a window: which are greyed and checked
// for the row at the selection mark, and what each one asks of the watch.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace glimmerfen::ui {

// The row at the selection mark, as the list shows it.
struct MarkedRow {
    std::string client; // empty for an open-file row
    std::string user;
    std::string path; // empty for a session row
};

struct RowMenuState {
    std::vector<unsigned> greyed; // menu ids
    bool detailsChecked = false;  // "Change details"
    bool watchChecked = false;    // "Notify when closed": chosen again, it ends the watch
};

// row: the marked row when it is also selected; watched: its file is watched.
RowMenuState RowMenuFor(const std::optional<MarkedRow>& row, bool watched, bool detailsChecked);

// What a row command asks of the watch.
struct RowRequest {
    enum class Kind { Disconnect, CloseFile };
    Kind kind = Kind::Disconnect;
    std::string client;
    std::string user;
    std::string path;
};
// Disconnect (an open-file row has no client: every session of the file's user is ended) or "Close this
// file" (a session row has no file: nothing) for the marked row; nothing for other ids or no row.
std::optional<RowRequest> RowRequestFor(unsigned commandId, const std::optional<MarkedRow>& row);

} // namespace glimmerfen::ui
