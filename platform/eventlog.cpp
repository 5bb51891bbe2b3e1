// Which copy of the program the event source's key belongs to, decided the same way on every system;
// only the reading and writing of the key is the platform's.
#include "platform/eventlog.h"

#include <algorithm>

#include "platform/ansitext.h"

namespace glimmerfen::platform {

std::vector<std::string> MessageFiles(const std::string& value) {
    const std::vector<std::string_view> items = SplitList(value);
    return std::vector<std::string>(items.begin(), items.end());
}

bool SameWindowsPath(const std::string& a, const std::string& b) {
    // "/" is below every trail byte too, so it can be turned into "\\" byte by byte.
    auto backslashed = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    };
    return AnsiEqualNoCase(backslashed(a), backslashed(b));
}

namespace {

bool NamesThisCopy(const std::vector<std::string>& files, const std::string& exePath) {
    return std::any_of(files.begin(), files.end(),
                       [&](const std::string& file) { return SameWindowsPath(file, exePath); });
}

} // namespace

RegisterDecision DecideRegistration(const std::optional<SourceKey>& key, const std::string& exePath,
                                    const std::function<bool(const std::string&)>& fileExists) {
    bool write = true;
    if (key) {
        const std::vector<std::string> files = MessageFiles(key->messageFile);
        if (NamesThisCopy(files, exePath)) {
            // Alone but without its three types it is this copy's own unfinished key; in a list
            // somebody put it there on purpose.
            write = files.size() == 1 && !key->typesComplete;
        } else if (!files.empty()) {
            // Another copy's, or another program's: taken over only once a file it names is gone.
            write = !std::all_of(files.begin(), files.end(), fileExists);
        }
    }
    if (!write) {
        return RegisterDecision::Keep;
    }
    return exePath.find(';') != std::string::npos ? RegisterDecision::PathHasList : RegisterDecision::Write;
}

UnregisterDecision DecideUnregistration(const std::optional<SourceKey>& key, const std::string& exePath) {
    if (!key) {
        return UnregisterDecision::NoKey;
    }
    const std::vector<std::string> files = MessageFiles(key->messageFile);
    if (files.empty() || NamesThisCopy(files, exePath)) {
        return UnregisterDecision::Remove;
    }
    return UnregisterDecision::LeaveOther;
}

RegisterOutcome RegisterEventSource(const std::string& exePath) {
    switch (DecideRegistration(ReadSourceKey(), exePath, MessageFileExists)) {
    case RegisterDecision::Keep:
        return RegisterOutcome::Kept;
    case RegisterDecision::PathHasList:
        return RegisterOutcome::PathHasList;
    case RegisterDecision::Write:
        break;
    }
    switch (WriteSourceKey(exePath)) {
    case Registration::Done:
        return RegisterOutcome::Written;
    case Registration::NoRights:
        return RegisterOutcome::NoRights;
    case Registration::Failed:
        break;
    }
    return RegisterOutcome::Failed;
}

} // namespace glimmerfen::platform
