// The access log file itself: the names of its side files (its own path is one of the program's
// paths), the guard every opening in this process takes, buffered writing through an exclusive opening,
// and the rewrite of a file through a copy that takes its place in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/exclusive_file.h"
#include "platform/shared_lock.h"
#include "settings/Paths.h"

namespace glimmerfen {

inline constexpr const char* kLogTempFileName = "log_tmp.txt";
// Lines that could not be written before the program ended, appended ahead of every newer line at the
// next start.
inline constexpr const char* kLogWaitingFileName = "log_waiting.txt";
// The side file under the name it is given while its lines are being taken into the log: renamed before
// its lines are appended and removed after, so that a start finding it knows that its lines may already
// be in the log.
inline constexpr const char* kLogTakenFileName = "log_waiting_taken.txt";

// Size of the pieces in which the log is read, copied and written.
inline constexpr std::size_t kLogChunkSize = std::size_t{1} << 20;

// Taken by everyone who opens the log file: every appended line, the start-up trimming and the log
// viewer's load and rewrite, in this process and in the other programs of this computer (the service
// and the tray that is its window share one log). An append that comes while the file is being replaced
// waits and then lands in the new file instead of failing or vanishing with the old one. Other programs
// are kept out by the exclusive opening besides. Held only while bytes are read or written.
class LogGuard {
public:
    LogGuard();
    void lock();
    void unlock();

private:
    std::mutex local_; // first, so that one thread of this process at a time waits for the others
    platform::SharedLock shared_;
};
LogGuard& LogFileGuard();

// Writes in pieces of a fixed size, so that many short lines cost few system calls, and can take back
// the end of what was written: a line may be written while its fate is still open and taken back when
// it turns out it is not wanted (when those bytes already went to the file, the position moves back
// and the file is cut there at Finish).
class BufferedWriter {
public:
    BufferedWriter(platform::ExclusiveFile& file, std::size_t capacity);

    void Put(const char* data, std::size_t size);
    void Put(std::string_view text) { Put(text.data(), text.size()); }
    // Bytes put so far, taken-back ones excluded.
    std::uint64_t Position() const { return flushed_ + used_; }
    void TakeBackTo(std::uint64_t position);
    // Writes what is buffered; false when any write failed.
    bool Finish();

private:
    void Flush();

    platform::ExclusiveFile& file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0; // file offset of buffer_[0]
    bool cutAtEnd_ = false;
    bool ok_ = true;
};

// A new content for a file, written under a temporary name beside it and then put in its place in one
// step, so that the file is at every moment either wholly old or wholly new. Until Commit succeeds the
// temporary file is removed when this object ends.
class FileRewrite {
public:
    FileRewrite(std::string target, std::string temp, std::size_t bufferSize = kLogChunkSize);
    ~FileRewrite();
    FileRewrite(const FileRewrite&) = delete;
    FileRewrite& operator=(const FileRewrite&) = delete;

    // Creates the temporary file, emptied; false when it cannot be made.
    bool Open();
    BufferedWriter& Out() { return *out_; }
    // Finishes the writing and puts the copy in the place of the target. heldTarget: the target's own
    // exclusive opening, when the caller holds it (closed either way), so that no other opening can
    // come in between where the system allows it. False on any failure: the target is as it was.
    bool Commit(platform::ExclusiveFile* heldTarget = nullptr);

private:
    std::string target_;
    std::string temp_;
    platform::ExclusiveFile file_;
    std::unique_ptr<BufferedWriter> out_;
    std::size_t bufferSize_;
    bool opened_ = false;
    bool committed_ = false;
};

// The rewrite of exeDir + "log.txt" through exeDir + "log_tmp.txt".
inline FileRewrite LogRewrite(const std::string& exeDir) {
    return FileRewrite(LogPathIn(exeDir), exeDir + kLogTempFileName);
}

} // namespace glimmerfen
