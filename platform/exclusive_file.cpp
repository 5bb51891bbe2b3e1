// The parts of ExclusiveFile that do not depend on the system.
#include "platform/exclusive_file.h"

#include <utility>

namespace glimmerfen::platform {

ExclusiveFile::~ExclusiveFile() {
    Close();
}

ExclusiveFile::ExclusiveFile(ExclusiveFile&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

ExclusiveFile& ExclusiveFile::operator=(ExclusiveFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kInvalid);
    }
    return *this;
}

} // namespace glimmerfen::platform
