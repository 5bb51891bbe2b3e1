#include "platform/shared_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace glimmerfen::platform {

SharedLock::SharedLock(std::string name) : name_(std::move(name)) {}

SharedLock::~SharedLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void SharedLock::lock() {
    if (!opened_) {
        opened_ = true;
        const char* folder = std::getenv("TMPDIR");
        const std::string path =
            std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/" + name_ + ".lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    if (fd_ >= 0) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

void SharedLock::unlock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
    }
}

} // namespace glimmerfen::platform
