#include "monitor/log/LogFile.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace glimmerfen {

LogGuard::LogGuard() : shared_("GlimmerfenChecker.LogFile") {}

void LogGuard::lock() {
    local_.lock();
    shared_.lock();
}

void LogGuard::unlock() {
    shared_.unlock();
    local_.unlock();
}

LogGuard& LogFileGuard() {
    static LogGuard guard;
    return guard;
}

BufferedWriter::BufferedWriter(platform::ExclusiveFile& file, std::size_t capacity)
    : file_(file), buffer_(new char[capacity == 0 ? 1 : capacity]), capacity_(capacity == 0 ? 1 : capacity) {}

void BufferedWriter::Put(const char* data, std::size_t size) {
    // A large piece (a run of lines straight from a read buffer) goes to the file as it is: copying it
    // into the buffer first would only cost time.
    const bool large = size >= capacity_ / 8 && size > 0;
    if (large || used_ + size > capacity_) {
        Flush();
        if (large) {
            ok_ = ok_ && file_.Write(data, size);
            flushed_ += size;
            return;
        }
    }
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
}

void BufferedWriter::TakeBackTo(std::uint64_t position) {
    if (position >= flushed_) {
        used_ = static_cast<std::size_t>(position - flushed_);
        return;
    }
    used_ = 0;
    ok_ = ok_ && file_.Seek(position);
    flushed_ = position;
    cutAtEnd_ = true;
}

bool BufferedWriter::Finish() {
    Flush();
    if (cutAtEnd_) {
        ok_ = ok_ && file_.TruncateHere();
        cutAtEnd_ = false;
    }
    return ok_;
}

void BufferedWriter::Flush() {
    if (used_ > 0) {
        ok_ = ok_ && file_.Write(buffer_.get(), used_);
        flushed_ += used_;
        used_ = 0;
    }
}

FileRewrite::FileRewrite(std::string target, std::string temp, std::size_t bufferSize)
    : target_(std::move(target)), temp_(std::move(temp)), bufferSize_(bufferSize) {}

FileRewrite::~FileRewrite() {
    if (opened_ && !committed_) {
        file_.Close();
        // A copy that cannot be removed now is emptied the next time it is opened.
        static_cast<void>(platform::RemoveFile(temp_));
    }
}

bool FileRewrite::Open() {
    if (!file_.Open(temp_, platform::FileOpenMode::CreateTruncate)) {
        return false;
    }
    opened_ = true;
    out_ = std::make_unique<BufferedWriter>(file_, bufferSize_);
    return true;
}

bool FileRewrite::Commit(platform::ExclusiveFile* heldTarget) {
    if (!opened_ || committed_) {
        return false;
    }
    bool complete = out_->Finish();
    complete = file_.Close() && complete;
    // A short copy must never take the target's place.
    if (!complete) {
        return false;
    }
    committed_ =
        heldTarget != nullptr ? heldTarget->ReplaceByMove(temp_, target_) : platform::ReplaceFileByMove(temp_, target_);
    return committed_;
}

} // namespace glimmerfen
