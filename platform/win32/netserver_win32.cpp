// The local file server through the network management functions of netapi32.
#include "platform/netserver.h"

#include <windows.h>
#include <lm.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "platform/ansitext.h"
#include "platform/codepage.h"

namespace glimmerfen::platform {
namespace {

// wchar_t is 16 bits on Windows, so a wide string of the API is a UTF-16 string.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::string FieldText(const wchar_t* text) {
    if (text == nullptr) {
        return std::string();
    }
    return FieldFromWide(std::u16string_view(reinterpret_cast<const char16_t*>(text)));
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

// Frees an enumeration buffer on every path out of a round, ERROR_MORE_DATA and failures included.
class NetBuffer {
public:
    NetBuffer() = default;
    NetBuffer(const NetBuffer&) = delete;
    NetBuffer& operator=(const NetBuffer&) = delete;
    ~NetBuffer() {
        if (data_ != nullptr) {
            NetApiBufferFree(data_);
        }
    }
    LPBYTE* Receive() { return &data_; }
    template <typename T>
    const T* As() const {
        return reinterpret_cast<const T*>(data_);
    }

private:
    LPBYTE data_ = nullptr;
};

class NetApiServer final : public ServerPlatform {
public:
    NetApiServer() : wineBuiltin_(IsWineBuiltinModule(GetModuleHandleW(L"netapi32.dll"))) {}

    std::uint32_t SessionRound(std::uint32_t& resumeHandle, RecordList<SessionRecord>& out) override {
        NetBuffer buffer;
        DWORD entriesRead = 0;
        DWORD totalEntries = 0;
        DWORD resume = resumeHandle;
        const NET_API_STATUS status = NetSessionEnum(nullptr, nullptr, nullptr, 2, buffer.Receive(),
                                                     MAX_PREFERRED_LENGTH, &entriesRead, &totalEntries, &resume);
        resumeHandle = resume;
        const auto* entries = buffer.As<SESSION_INFO_2>();
        if ((status == NERR_Success || status == ERROR_MORE_DATA) && entries != nullptr) {
            for (DWORD i = 0; i < entriesRead; ++i) {
                const SESSION_INFO_2& info = entries[i];
                SessionRecord& record = out.Add();
                record.clientName = FieldText(info.sesi2_cname);
                record.userName = FieldText(info.sesi2_username);
                record.openCount = static_cast<std::int32_t>(info.sesi2_num_opens);
                record.connectedSeconds = info.sesi2_time;
                record.idleSeconds = info.sesi2_idle_time;
                record.userFlags = info.sesi2_user_flags;
                record.clientType = FieldText(info.sesi2_cltype_name);
            }
        }
        return status;
    }

    std::uint32_t OpenFileRound(const std::string& userName, std::uint64_t& resumeHandle,
                                RecordList<OpenFileRecord>& out) override {
        std::u16string wideUser = AnsiToWide(userName);
        LPWSTR userFilter = userName.empty() ? nullptr : reinterpret_cast<LPWSTR>(wideUser.data());
        NetBuffer buffer;
        DWORD entriesRead = 0;
        DWORD totalEntries = 0;
        DWORD_PTR resume = static_cast<DWORD_PTR>(resumeHandle);
        const NET_API_STATUS status = NetFileEnum(nullptr, nullptr, userFilter, 3, buffer.Receive(),
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
                record.pathName = FieldText(info.fi3_pathname);
                record.userName = FieldText(info.fi3_username);
            }
        }
        return status;
    }

    std::uint32_t DeleteSession(const std::string& clientArg, const std::string& userName) override {
        if (wineBuiltin_) {
            return kErrorNotSupported;
        }
        std::u16string wideClient = AnsiToWide(clientArg);
        std::u16string wideUser = AnsiToWide(userName);
        return NetSessionDel(nullptr, reinterpret_cast<LPWSTR>(wideClient.data()),
                             reinterpret_cast<LPWSTR>(wideUser.data()));
    }

private:
    const bool wineBuiltin_;
};

} // namespace

ServerPlatform& LocalServer() {
    static NetApiServer server;
    return server;
}

} // namespace glimmerfen::platform
