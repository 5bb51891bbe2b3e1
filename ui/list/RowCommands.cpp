#include "ui/list/RowCommands.h"

#include "res/resource.h"

namespace glimmerfen::ui {

RowMenuState RowMenuFor(const std::optional<MarkedRow>& row, bool watched, bool detailsChecked) {
    RowMenuState state;
    state.detailsChecked = detailsChecked;
    if (!row) {
        state.greyed = {ID_DISCONNECT,         ID_ADD_ACCEPTABLE, ID_ADD_DENIED,        ID_SEND_MESSAGE,
                        ID_OPEN_SHARED_FOLDER, ID_CLOSE_FILE,     ID_NOTIFY_WHEN_CLOSED};
        return state;
    }
    if (row->path.empty()) {
        // A session row has no file to close or watch.
        state.greyed.insert(state.greyed.end(), {ID_CLOSE_FILE, ID_NOTIFY_WHEN_CLOSED});
    } else {
        state.watchChecked = watched;
    }
    if (row->client.empty()) {
        // An open-file row names no computer.
        state.greyed.insert(state.greyed.end(),
                            {ID_ADD_ACCEPTABLE, ID_ADD_DENIED, ID_SEND_MESSAGE, ID_OPEN_SHARED_FOLDER});
    }
    return state;
}

std::optional<RowRequest> RowRequestFor(unsigned commandId, const std::optional<MarkedRow>& row) {
    if (!row) {
        return std::nullopt;
    }
    if (commandId == ID_DISCONNECT) {
        return RowRequest{RowRequest::Kind::Disconnect, row->client, row->user, std::string()};
    }
    if (commandId == ID_CLOSE_FILE && !row->path.empty()) {
        return RowRequest{RowRequest::Kind::CloseFile, row->client, row->user, row->path};
    }
    return std::nullopt;
}

} // namespace glimmerfen::ui
