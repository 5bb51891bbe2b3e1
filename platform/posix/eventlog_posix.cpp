// Systems other than Windows have no Application log: no source to open, no key to read or write.
#include "platform/eventlog.h"

namespace glimmerfen::platform {

std::unique_ptr<EventSink> OpenEventSource() {
    return nullptr;
}

std::optional<SourceKey> ReadSourceKey() {
    return std::nullopt;
}

bool MessageFileExists(const std::string&) {
    return false;
}

Registration WriteSourceKey(const std::string&) {
    return Registration::Failed;
}

Registration DeleteSourceKey() {
    return Registration::Failed;
}

} // namespace glimmerfen::platform
