#include "monitor/FileWatches.h"

#include <utility>

#include "platform/ansitext.h"

namespace glimmerfen {

bool StillOpen(const WatchedFile& watch, const AccessEntry& entry) {
    return entry.staleSeconds == 0.0f && entry.fileId == watch.fileId && !entry.pathName.empty() &&
           AnsiEqualNoCase(entry.pathName, watch.path) && AnsiEqualNoCase(entry.userName, watch.user);
}

bool FileWatches::Toggle(WatchedFile file) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = watches_.begin(); it != watches_.end(); ++it) {
        if (AnsiEqualNoCase(it->path, file.path) && AnsiEqualNoCase(it->user, file.user)) {
            watches_.erase(it);
            return false;
        }
    }
    watches_.push_back(std::move(file));
    return true;
}

bool FileWatches::Watched(const std::string& path, const std::string& user) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const WatchedFile& w : watches_) {
        if (AnsiEqualNoCase(w.path, path) && AnsiEqualNoCase(w.user, user)) {
            return true;
        }
    }
    return false;
}

std::size_t FileWatches::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return watches_.size();
}

void FileWatches::EndClosed(const std::vector<bool>& open, std::int32_t now) {
    std::vector<WatchedFile> kept;
    for (std::size_t i = 0; i < watches_.size(); ++i) {
        if (open[i]) {
            kept.push_back(std::move(watches_[i]));
            continue;
        }
        const std::int32_t held = now - watches_[i].since;
        closed_.push_back({std::move(watches_[i].path), std::move(watches_[i].user),
                           held > 0 ? static_cast<std::uint32_t>(held) : 0u});
    }
    watches_ = std::move(kept);
}

std::vector<ClosedFile> FileWatches::TakeClosed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(closed_, {});
}

} // namespace glimmerfen
