// An in-process file server for tests and benchmarks: serves the sessions and open files it is given,
// in rounds of a chosen size, and records the deletions it is asked for. Like a real server it finds a
// user's open files without regard to the letter case of the name, closes the sessions a deletion
// names, and it can take a fixed time per call, as a remote procedure call does.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ansitext.h"
#include "platform/netserver.h"

namespace glimmerfen::testing {

class FakeServer final : public platform::ServerPlatform {
public:
    struct Deletion {
        std::string clientArg;
        std::string userName;
        bool noClient = false; // asked without a client argument: every session of the user
        bool operator==(const Deletion&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Deletion& d) {
            return out << '{' << (d.noClient ? "(null)" : d.clientArg) << '|' << d.userName << '}';
        }
    };

    std::vector<SessionRecord> sessions;

    std::size_t pageSize = 0;              // records per round; 0 = all in one round
    int failSessionRound = 0;              // 1-based round of the session enumeration that fails; 0 = none
    int failFileRound = 0;                 // the same for every open-file enumeration
    std::uint32_t failCode = 5;            // code returned by a failing round
    std::uint32_t deleteResult = 0;        // when not 0, what DeleteSession answers (closing nothing)
    std::vector<Deletion> deletions;       // every DeleteSession call, in order
    std::vector<std::string> fileQueries;  // user filter of every open-file enumeration, in order
    std::function<void()> onDelete;        // called inside every DeleteSession, before it answers
    std::vector<std::uint32_t> fileCloses; // every CloseFile call, in order
    std::chrono::microseconds callCost{0}; // time every round takes (busy, as a call waiting on the network)
    int calls = 0;                         // rounds of either enumeration served so far

    SessionRecord& AddSession(std::string client, std::string user, std::uint32_t connected = 60,
                              std::uint32_t idle = 5, std::uint32_t flags = 0, std::string type = "Windows") {
        SessionRecord s;
        s.clientName = std::move(client);
        s.userName = std::move(user);
        s.connectedSeconds = connected;
        s.idleSeconds = idle;
        s.userFlags = flags;
        s.clientType = std::move(type);
        sessions.push_back(std::move(s));
        return sessions.back();
    }

    OpenFileRecord& AddFile(std::string user, std::string path, std::uint32_t id = 1, std::uint32_t permissions = 1,
                            std::uint32_t locks = 0) {
        OpenFileRecord f;
        f.userName = std::move(user);
        f.pathName = std::move(path);
        f.fileId = id;
        f.permissions = permissions;
        f.lockCount = locks;
        dirty_ = true;
        files_.push_back(std::move(f));
        return files_.back();
    }

    void RemoveSession(const std::string& client, const std::string& user) {
        std::erase_if(sessions, [&](const SessionRecord& s) { return s.clientName == client && s.userName == user; });
    }
    void CloseFiles(const std::string& user) {
        dirty_ = true;
        std::erase_if(files_, [&](const OpenFileRecord& f) { return f.userName == user; });
    }
    // Every open file of the server, to change in place.
    std::vector<OpenFileRecord>& Files() {
        dirty_ = true;
        return files_;
    }

    std::uint32_t SessionRound(std::uint32_t& resume, RecordList<SessionRecord>& out) override {
        return Round(sessions, resume, out, failSessionRound, sessionRounds_);
    }

    std::uint32_t OpenFileRound(const std::string& userName, std::uint64_t& resume,
                                RecordList<OpenFileRecord>& out) override {
        if (resume == 0) {
            fileQueries.push_back(userName);
        }
        if (userName.empty()) {
            return Round(files_, resume, out, failFileRound, fileRounds_);
        }
        if (dirty_) {
            byUser_.clear();
            for (const OpenFileRecord& f : files_) {
                byUser_[AnsiUpper(f.userName)].push_back(f);
            }
            dirty_ = false;
        }
        const auto found = byUser_.find(AnsiUpper(userName));
        return Round(found == byUser_.end() ? none_ : found->second, resume, out, failFileRound, fileRounds_);
    }

    // As a server does: the sessions of that client ("\\\\" and its name; the backslashes alone name
    // none, no client argument every one) and user close, names compared without regard to case; 2312
    // (client name not found) when none did.
    std::uint32_t DeleteSession(const std::optional<std::string>& clientArg, const std::string& userName) override {
        deletions.push_back({clientArg.value_or(std::string()), userName, !clientArg});
        if (onDelete) {
            onDelete();
        }
        if (deleteResult != 0) {
            return deleteResult;
        }
        const std::string client = clientArg && clientArg->size() > 2 ? clientArg->substr(2) : std::string();
        const std::size_t closed = std::erase_if(sessions, [&](const SessionRecord& s) {
            return (!clientArg || (!client.empty() && AnsiEqualNoCase(s.clientName, client))) &&
                   AnsiEqualNoCase(s.userName, userName);
        });
        return closed > 0 ? platform::kNetSuccess : 2312;
    }

    // Closes the file with this id: 2314 (file id not found) when there is none.
    std::uint32_t CloseFile(std::uint32_t fileId) override {
        fileCloses.push_back(fileId);
        const auto found =
            std::find_if(files_.begin(), files_.end(), [&](const OpenFileRecord& f) { return f.fileId == fileId; });
        if (found == files_.end()) {
            return 2314;
        }
        files_.erase(found);
        dirty_ = true;
        return platform::kNetSuccess;
    }

private:
    template <typename Record, typename Resume>
    std::uint32_t Round(const std::vector<Record>& all, Resume& resume, RecordList<Record>& out, int failRound,
                        int& roundCounter) {
        ++calls;
        if (callCost.count() > 0) {
            const auto until = std::chrono::steady_clock::now() + callCost;
            while (std::chrono::steady_clock::now() < until) {
            }
        }
        if (resume == 0) {
            roundCounter = 0;
        }
        ++roundCounter;
        if (failRound != 0 && roundCounter == failRound) {
            return failCode;
        }
        const std::size_t begin = static_cast<std::size_t>(resume);
        const std::size_t count = pageSize == 0 ? all.size() : pageSize;
        const std::size_t end = std::min(all.size(), begin + count);
        for (std::size_t i = std::min(begin, all.size()); i < end; ++i) {
            out.Add() = all[i];
        }
        resume = static_cast<Resume>(end);
        return end < all.size() ? platform::kErrorMoreData : platform::kNetSuccess;
    }

    std::vector<OpenFileRecord> files_;
    std::unordered_map<std::string, std::vector<OpenFileRecord>> byUser_; // files_ by user, rebuilt when dirty
    const std::vector<OpenFileRecord> none_;
    bool dirty_ = true;
    int sessionRounds_ = 0;
    int fileRounds_ = 0;
};

} // namespace glimmerfen::testing
