// "Notify when closed": the open files the user watches, and the decision that a poll no longer finds
// one of them open.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/AccessTable.h"

namespace glimmerfen {

// A watched open file: the row's path and holder, and the server's id of that opening (the same user
// opening the file again gets another id).
struct WatchedFile {
    std::string path;
    std::string user;
    std::int32_t fileId = 0;
    std::int32_t since = 0; // when the watch began (seconds of the clock)
};

// A watched file that a poll no longer found open, and how long it was seen held since the watch began.
struct ClosedFile {
    std::string path;
    std::string user;
    std::uint32_t heldSeconds = 0;
    bool operator==(const ClosedFile&) const = default;
};

// Whether a poll's entry shows the watched file still open: the same path and holder (letter case
// aside, as the server compares them) and the same opening, enumerated by the last poll. A file held
// again by someone else, or opened again, is another opening: the watched one was closed.
bool StillOpen(const WatchedFile& watch, const AccessEntry& entry);

// The watches of one list window. The list refresh checks them on its thread, the window adds and
// removes them on its own, the tray tick takes the closed ones: one lock, held for none of those calls
// into other code.
class FileWatches {
public:
    // Watches the file, or ends its watch when it is watched already; true when it is watched now.
    bool Toggle(WatchedFile file);
    bool Watched(const std::string& path, const std::string& user) const;
    std::size_t Count() const;

    // One walk over a poll's entries (forEach(visit)): every watch whose opening is not among them
    // ends and is kept as closed, held until now. Nothing is decided when pollFailed: a poll whose
    // enumerations failed sees nobody, which says nothing about the files.
    template <typename ForEach>
    void Check(ForEach&& forEach, bool pollFailed, std::int32_t now) {
        if (pollFailed) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (watches_.empty()) {
            return;
        }
        std::vector<bool> open(watches_.size(), false);
        forEach([&](const AccessEntry& entry) {
            for (std::size_t i = 0; i < watches_.size(); ++i) {
                open[i] = open[i] || StillOpen(watches_[i], entry);
            }
        });
        EndClosed(open, now);
    }

    // The files found closed since the last call.
    std::vector<ClosedFile> TakeClosed();

private:
    void EndClosed(const std::vector<bool>& open, std::int32_t now);

    mutable std::mutex mutex_;
    std::vector<WatchedFile> watches_;
    std::vector<ClosedFile> closed_;
};

} // namespace glimmerfen
