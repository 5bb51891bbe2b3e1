// The local file server through the network management functions of netapi32.
#include "platform/netserver.h"

#include <windows.h>
#include <lm.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include "platform/ansitext.h"
#include "platform/codepage.h"
#include "platform/win32/netserver_testing.h"
#include "platform/win32/system_library.h"

namespace glimmerfen::platform {
namespace {

// wchar_t is 16 bits on Windows, so a wide string of the API is a UTF-16 string.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// A field of a record, into the storage the record kept from the previous poll.
void AssignField(std::string& field, const wchar_t* text) {
    if (text == nullptr) {
        field.clear();
        return;
    }
    AssignFieldFromWide(field, std::u16string_view(reinterpret_cast<const char16_t*>(text)));
}

// Wine marks its own DLLs with this text right after the DOS header. Its netapi32 has no NetSessionDel
// (calling it aborts the process), so the deletion must not be attempted there.
bool IsWineBuiltinModule(HMODULE module) {
    if (module == nullptr) {
        return false;
    }
    static constexpr char kMark[] = "Wine builtin DLL";
    const auto* image = reinterpret_cast<const unsigned char*>(module);
    return std::memcmp(image + 0x40, kMark, sizeof kMark - 1) == 0;
}

// The functions of the system's netapi32 that this layer calls, looked up once. A missing library or
// function makes the calls that need it fail with the loader's error instead of running.
struct NetApi {
    HMODULE module = nullptr;
    decltype(&::NetSessionEnum) sessionEnum = nullptr;
    decltype(&::NetFileEnum) fileEnum = nullptr;
    decltype(&::NetSessionDel) sessionDel = nullptr;
    decltype(&::NetFileClose) fileClose = nullptr;
    decltype(&::NetApiBufferFree) bufferFree = nullptr;

    static constexpr std::uint32_t kModuleMissing = ERROR_MOD_NOT_FOUND;
    static constexpr std::uint32_t kFunctionMissing = ERROR_PROC_NOT_FOUND;

    explicit NetApi(const wchar_t* library) : module(LoadSystemLibrary(library)) {
        sessionEnum = LibraryFunction<decltype(sessionEnum)>(module, "NetSessionEnum");
        fileEnum = LibraryFunction<decltype(fileEnum)>(module, "NetFileEnum");
        sessionDel = LibraryFunction<decltype(sessionDel)>(module, "NetSessionDel");
        fileClose = LibraryFunction<decltype(fileClose)>(module, "NetFileClose");
        bufferFree = LibraryFunction<decltype(bufferFree)>(module, "NetApiBufferFree");
    }

    // 0 when a function that is `present` can be called (with the release of its buffer, for an
    // enumeration), else the error to report.
    std::uint32_t Unavailable(bool present, bool returnsBuffer) const {
        if (module == nullptr) {
            return kModuleMissing;
        }
        return !present || (returnsBuffer && bufferFree == nullptr) ? kFunctionMissing : 0;
    }
};

// Frees an enumeration buffer on every path out of a round, ERROR_MORE_DATA and failures included.
class NetBuffer {
public:
    explicit NetBuffer(decltype(&::NetApiBufferFree) free) : free_(free) {}
    NetBuffer(const NetBuffer&) = delete;
    NetBuffer& operator=(const NetBuffer&) = delete;
    ~NetBuffer() {
        if (data_ != nullptr) {
            free_(data_);
        }
    }
    LPBYTE* Receive() { return &data_; }
    template <typename T>
    const T* As() const {
        return reinterpret_cast<const T*>(data_);
    }

private:
    decltype(&::NetApiBufferFree) free_;
    LPBYTE data_ = nullptr;
};

class NetApiServer final : public ServerPlatform {
public:
    // computer: the watched computer's name without backslashes; empty for this computer, which the
    // calls name with a null server name.
    NetApiServer(const wchar_t* library, const std::string& computer)
        : api_(library), wineBuiltin_(IsWineBuiltinModule(api_.module)),
          serverName_(computer.empty() ? std::u16string() : u"\\\\" + AnsiToWide(computer)) {}

    std::uint32_t SessionRound(std::uint32_t& resumeHandle, RecordList<SessionRecord>& out) override {
        if (const std::uint32_t missing = api_.Unavailable(api_.sessionEnum != nullptr, true)) {
            return missing;
        }
        NetBuffer buffer(api_.bufferFree);
        DWORD entriesRead = 0;
        DWORD totalEntries = 0;
        DWORD resume = resumeHandle;
        const NET_API_STATUS status = api_.sessionEnum(ServerName(), nullptr, nullptr, 2, buffer.Receive(),
                                                       MAX_PREFERRED_LENGTH, &entriesRead, &totalEntries, &resume);
        resumeHandle = resume;
        const auto* entries = buffer.As<SESSION_INFO_2>();
        if ((status == NERR_Success || status == ERROR_MORE_DATA) && entries != nullptr) {
            for (DWORD i = 0; i < entriesRead; ++i) {
                const SESSION_INFO_2& info = entries[i];
                SessionRecord& record = out.Add();
                AssignField(record.clientName, info.sesi2_cname);
                AssignField(record.userName, info.sesi2_username);
                record.openCount = static_cast<std::int32_t>(info.sesi2_num_opens);
                record.connectedSeconds = info.sesi2_time;
                record.idleSeconds = info.sesi2_idle_time;
                record.userFlags = info.sesi2_user_flags;
                AssignField(record.clientType, info.sesi2_cltype_name);
            }
        }
        return status;
    }

    std::uint32_t OpenFileRound(const std::string& userName, std::uint64_t& resumeHandle,
                                RecordList<OpenFileRecord>& out) override {
        if (const std::uint32_t missing = api_.Unavailable(api_.fileEnum != nullptr, true)) {
            return missing;
        }
        std::u16string wideUser = AnsiToWide(userName);
        LPWSTR userFilter = userName.empty() ? nullptr : reinterpret_cast<LPWSTR>(wideUser.data());
        NetBuffer buffer(api_.bufferFree);
        DWORD entriesRead = 0;
        DWORD totalEntries = 0;
        DWORD_PTR resume = static_cast<DWORD_PTR>(resumeHandle);
        const NET_API_STATUS status = api_.fileEnum(ServerName(), nullptr, userFilter, 3, buffer.Receive(),
                                                    MAX_PREFERRED_LENGTH, &entriesRead, &totalEntries, &resume);
        resumeHandle = resume;
        const auto* entries = buffer.As<FILE_INFO_3>();
        if ((status == NERR_Success || status == ERROR_MORE_DATA) && entries != nullptr) {
            for (DWORD i = 0; i < entriesRead; ++i) {
                const FILE_INFO_3& info = entries[i];
                OpenFileRecord& record = out.Add();
                record.fileId = info.fi3_id;
                record.permissions = info.fi3_permissions;
                record.lockCount = info.fi3_num_locks;
                AssignField(record.pathName, info.fi3_pathname);
                AssignField(record.userName, info.fi3_username);
            }
        }
        return status;
    }

    std::uint32_t DeleteSession(const std::optional<std::string>& clientArg, const std::string& userName) override {
        if (const std::uint32_t missing = api_.Unavailable(api_.sessionDel != nullptr, false)) {
            return missing;
        }
        if (wineBuiltin_) {
            return kErrorNotSupported;
        }
        // No client argument is a null client name: the server then closes every session of the user.
        std::u16string wideClient = clientArg ? AnsiToWide(*clientArg) : std::u16string();
        std::u16string wideUser = AnsiToWide(userName);
        return api_.sessionDel(ServerName(), clientArg ? reinterpret_cast<LPWSTR>(wideClient.data()) : nullptr,
                               reinterpret_cast<LPWSTR>(wideUser.data()));
    }

    std::uint32_t CloseFile(std::uint32_t fileId) override {
        if (const std::uint32_t missing = api_.Unavailable(api_.fileClose != nullptr, false)) {
            return missing;
        }
        // Wine's own library does not close files either (its file enumeration is not supported).
        if (wineBuiltin_) {
            return kErrorNotSupported;
        }
        return api_.fileClose(ServerName(), fileId);
    }

private:
    // The API takes the name through a non-const pointer but does not change it.
    LPWSTR ServerName() const {
        return serverName_.empty() ? nullptr : const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(serverName_.c_str()));
    }

    const NetApi api_;
    const bool wineBuiltin_;
    const std::u16string serverName_;
};

} // namespace

ServerPlatform& LocalServer() {
    static NetApiServer server(L"netapi32.dll", std::string());
    return server;
}

ServerPlatform& ServerFor(const std::string& computer) {
    if (computer.empty()) {
        return LocalServer();
    }
    // Never freed: a call that waits for an unreachable computer may still be running at the exit.
    static std::mutex* mutex = new std::mutex;
    static auto* servers = new std::map<std::string, std::unique_ptr<NetApiServer>>;
    std::lock_guard<std::mutex> lock(*mutex);
    std::unique_ptr<NetApiServer>& server = (*servers)[AnsiUpper(computer)];
    if (!server) {
        server = std::make_unique<NetApiServer>(L"netapi32.dll", computer);
    }
    return *server;
}

std::unique_ptr<ServerPlatform> ServerOnLibraryForTesting(const wchar_t* library) {
    return std::make_unique<NetApiServer>(library, std::string());
}

} // namespace glimmerfen::platform
