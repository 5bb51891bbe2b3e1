// The Application log through the event-logging calls of advapi32, and the registration of the source
// under the services key, whose EventMessageFile tells the event viewer where the texts are.
#include "platform/eventlog.h"

#include <windows.h>

// <windows.h> defines RegisterEventSource as a macro for its A and W functions; here the name is ours.
#ifdef RegisterEventSource
#undef RegisterEventSource
#endif

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/win32/checks.h"
#include "platform/win32/handles.h"

namespace glimmerfen::platform {
namespace {

// Error, warning and information.
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

std::wstring Wide(std::string_view ansi) {
    const std::u16string text = AnsiToWide(ansi);
    return std::wstring(text.begin(), text.end());
}

std::wstring SourceKeyPath() {
    return L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + Wide(kEventSourceName);
}

using win32::UniqueRegKey;

class EventSource final : public EventSink {
public:
    explicit EventSource(win32::UniqueEventSource source) noexcept : source_(std::move(source)) {}

    bool Report(EventType type, std::uint32_t eventId, const std::vector<std::string>& strings) override {
        std::vector<std::wstring> wide;
        wide.reserve(strings.size());
        for (const std::string& text : strings) {
            wide.push_back(Wide(text));
        }
        std::vector<LPCWSTR> pointers;
        pointers.reserve(wide.size());
        for (const std::wstring& text : wide) {
            pointers.push_back(text.c_str());
        }
        WORD kind = EVENTLOG_INFORMATION_TYPE;
        if (type == EventType::Warning) {
            kind = EVENTLOG_WARNING_TYPE;
        } else if (type == EventType::Error) {
            kind = EVENTLOG_ERROR_TYPE;
        }
        return GF_CHECK_BOOL(::ReportEventW(source_.get(), kind, 0, eventId, nullptr,
                                            static_cast<WORD>(pointers.size()), 0,
                                            pointers.empty() ? nullptr : pointers.data(), nullptr));
    }

private:
    win32::UniqueEventSource source_;
};

Registration FromError(LONG error) {
    if (error == ERROR_SUCCESS) {
        return Registration::Done;
    }
    return error == ERROR_ACCESS_DENIED ? Registration::NoRights : Registration::Failed;
}

} // namespace

std::unique_ptr<EventSink> OpenEventSource() {
    win32::UniqueEventSource source(GF_CHECK_HANDLE(::RegisterEventSourceW(nullptr, Wide(kEventSourceName).c_str())));
    if (!source) {
        return nullptr;
    }
    return std::make_unique<EventSource>(std::move(source));
}

std::optional<SourceKey> ReadSourceKey() {
    // Read without write access, so that a start that is not elevated sees it too.
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SourceKeyPath().c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const UniqueRegKey key(opened);
    SourceKey result;
    DWORD size = 0;
    constexpr DWORD kText = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (::RegGetValueW(key.get(), nullptr, L"EventMessageFile", kText, nullptr, nullptr, &size) == ERROR_SUCCESS &&
        size >= sizeof(wchar_t)) {
        std::vector<wchar_t> file(size / sizeof(wchar_t) + 1);
        size = static_cast<DWORD>(file.size() * sizeof(wchar_t));
        if (::RegGetValueW(key.get(), nullptr, L"EventMessageFile", kText, nullptr, file.data(), &size) ==
            ERROR_SUCCESS) {
            const std::wstring text(file.data());
            result.messageFile = WideToAnsi(std::u16string(text.begin(), text.end()));
        }
    }
    DWORD types = 0;
    size = sizeof types;
    result.typesComplete = ::RegGetValueW(key.get(), nullptr, L"TypesSupported", RRF_RT_REG_DWORD, nullptr, &types,
                                          &size) == ERROR_SUCCESS &&
                           types == kTypesSupported;
    return result;
}

bool MessageFileExists(const std::string& path) {
    // The value is REG_EXPAND_SZ: "%SystemRoot%\\..." names a file as the event viewer reads it.
    const std::wstring raw = Wide(path);
    const DWORD needed = ::ExpandEnvironmentStringsW(raw.c_str(), nullptr, 0);
    if (needed == 0) {
        return false;
    }
    std::vector<wchar_t> expanded(needed + 1);
    if (::ExpandEnvironmentStringsW(raw.c_str(), expanded.data(), static_cast<DWORD>(expanded.size())) == 0) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(expanded.data());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

Registration WriteSourceKey(const std::string& exePath) {
    const std::wstring path = Wide(exePath);
    if (path.empty()) {
        return Registration::Failed;
    }
    HKEY created = nullptr;
    LONG error = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, SourceKeyPath().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &created, nullptr);
    if (error != ERROR_SUCCESS) {
        return FromError(error);
    }
    const UniqueRegKey key(created);
    error =
        ::RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                         static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    if (error == ERROR_SUCCESS) {
        const DWORD types = kTypesSupported;
        error = ::RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                                 sizeof types);
    }
    return FromError(error);
}

Registration DeleteSourceKey() {
    const LONG error = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, SourceKeyPath().c_str());
    return error == ERROR_FILE_NOT_FOUND ? Registration::Done : FromError(error);
}

} // namespace glimmerfen::platform
