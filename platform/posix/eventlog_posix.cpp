// Other systems than Windows have no event log of this kind: nothing is opened or registered.
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
