// Systems other than Windows have no Application log: no source to open, nothing to register.
#include "platform/eventlog.h"

namespace glimmerfen::platform {

std::unique_ptr<EventSink> OpenEventSource() {
    return nullptr;
}

Registration RegisterEventSource(const std::string&) {
    return Registration::Failed;
}

Registration UnregisterEventSource() {
    return Registration::Failed;
}

} // namespace glimmerfen::platform
