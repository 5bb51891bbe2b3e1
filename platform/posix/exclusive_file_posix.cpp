// Exclusive files through open(2) and an advisory flock(2) lock. A flock lock belongs to the open
// file description, so a second open() of the same file, in this process or another, cannot take it:
// that opening is closed again and fails, as a second opening with no sharing fails on Windows. An
// opening whose lock lands on a file that has meanwhile been replaced under its name starts again.
#include "platform/exclusive_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/testing.h"

namespace glimmerfen::platform {

namespace {

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// Closes a descriptor on a thread of its own. When it is the last reference to a file that has been
// replaced, the close frees that file's storage, which can take tens of milliseconds of waiting for
// the device (discards) on a large file; nobody needs to wait for that.
void CloseInBackground(int fd) {
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        ::close(fd);
    }
}

std::atomic<void (*)(void*)> betweenOpenAndLockHook{nullptr};
std::atomic<void*> betweenOpenAndLockContext{nullptr};

// Opens the path and takes the lock: the descriptor, -1 when the file is missing (for reading),
// held, or cannot be opened, or kRetry when the name no longer led to the locked file.
constexpr int kRetry = -2;

int OpenLocked(const std::string& path, int flags) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return -1;
    }
    if (auto hook = betweenOpenAndLockHook.load()) {
        hook(betweenOpenAndLockContext.load());
    }
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(fd);
        return -1;
    }
    // The holder may have moved another file over this one and let it go between our open and our
    // lock: the lock is then on a file without a name, and what we wrote there would be lost.
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) != 0 || ::stat(path.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
        ::close(fd);
        return kRetry;
    }
    return fd;
}

} // namespace

void SetBetweenOpenAndLockHookForTesting(void (*hook)(void*), void* context) {
    betweenOpenAndLockContext = context;
    betweenOpenAndLockHook = hook;
}

bool ExclusiveFile::Open(const std::string& path, FileOpenMode mode) {
    Close();
    // Never O_TRUNC here: the file may belong to another opener, and nothing may change before the
    // lock is ours.
    const int flags = mode == FileOpenMode::ReadExisting ? O_RDONLY : (O_RDWR | O_CREAT);
    int fd = kRetry;
    for (int attempt = 0; attempt < 16 && fd == kRetry; ++attempt) {
        fd = OpenLocked(path, flags);
    }
    if (fd < 0) {
        return false;
    }
    if (mode == FileOpenMode::CreateTruncate && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

std::int64_t ExclusiveFile::Read(char* buffer, std::size_t size) {
    if (!IsOpen()) {
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(Fd(handle_), buffer, size);
        if (got >= 0) {
            return got;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

bool ExclusiveFile::Write(const char* data, std::size_t size) {
    if (!IsOpen()) {
        return false;
    }
    while (size > 0) {
        const ssize_t put = ::write(Fd(handle_), data, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (put == 0) {
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool ExclusiveFile::Append(const char* data, std::size_t size) {
    const off_t end = IsOpen() ? ::lseek(Fd(handle_), 0, SEEK_END) : -1;
    if (end < 0) {
        return false;
    }
    if (Write(data, size)) {
        return true;
    }
    // A short write (a full disk) must not leave the start of the data behind.
    if (::ftruncate(Fd(handle_), end) == 0) {
        ::lseek(Fd(handle_), end, SEEK_SET);
    }
    return false;
}

bool ExclusiveFile::Seek(std::uint64_t offset) {
    return IsOpen() && ::lseek(Fd(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::int64_t ExclusiveFile::Size() const {
    struct stat info {};
    if (!IsOpen() || ::fstat(Fd(handle_), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

bool ExclusiveFile::TruncateHere() {
    if (!IsOpen()) {
        return false;
    }
    const off_t here = ::lseek(Fd(handle_), 0, SEEK_CUR);
    return here >= 0 && ::ftruncate(Fd(handle_), here) == 0;
}

bool ExclusiveFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    // Closing the descriptor releases the lock. close() is not retried on EINTR: on Linux the
    // descriptor is gone either way.
    const int result = ::close(Fd(std::exchange(handle_, kInvalid)));
    return result == 0;
}

bool ExclusiveFile::ReplaceByMove(const std::string& from, const std::string& to) {
    if (!IsOpen()) {
        return ReplaceFileByMove(from, to);
    }
    // The move happens while this opening still holds the old file, so no other opening can come
    // in between.
    if (!ReplaceFileByMove(from, to)) {
        Close();
        return false;
    }
    CloseInBackground(Fd(std::exchange(handle_, kInvalid)));
    return true;
}

bool ReplaceFileByMove(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

namespace {

// Whether an exclusive opening holds the file, which on Windows keeps it from being removed or renamed.
bool HeldByAnOpening(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

} // namespace

bool RemoveFile(const std::string& path) {
    if (HeldByAnOpening(path)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RenameFile(const std::string& from, const std::string& to) {
    if (HeldByAnOpening(from)) {
        return false;
    }
    // link and unlink rather than rename, which would replace an existing target.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    if (::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

} // namespace glimmerfen::platform
