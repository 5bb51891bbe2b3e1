// Stand-in netapi32.dll: serves the simulated file server through the network management functions that
// the program uses. Every exported call is serialised by one lock.
#include <windows.h>
#include <lm.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Simulation.h"

using glimmerfen::sim::Field;
using glimmerfen::sim::FileLine;
using glimmerfen::sim::SessionView;
using glimmerfen::sim::Simulation;

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
std::uint64_t g_loadTickMs = 0;
std::wstring* g_initialScenario = nullptr;
Simulation* g_simulation = nullptr;
std::unordered_set<void*>* g_buffers = nullptr; // handed out and not yet freed
DWORD g_badFrees = 0;                           // NetApiBufferFree calls for pointers not handed out

class Lock {
public:
    Lock() { AcquireSRWLockExclusive(&g_lock); }
    ~Lock() { ReleaseSRWLockExclusive(&g_lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// Called under the lock.
Simulation& Sim() {
    if (g_simulation == nullptr) {
        g_simulation = new Simulation(g_loadTickMs, g_initialScenario ? *g_initialScenario : std::wstring());
        g_buffers = new std::unordered_set<void*>();
    }
    g_simulation->Update();
    return *g_simulation;
}

void* AllocateBuffer(std::size_t bytes) {
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes == 0 ? 1 : bytes);
    if (block != nullptr) {
        g_buffers->insert(block);
    }
    return block;
}

std::size_t FieldBytes(const Field& field) {
    return field ? (field->size() + 1) * sizeof(wchar_t) : 0;
}

// Copies the text behind the records and returns the pointer to store in the record.
LPWSTR PlaceText(const Field& field, BYTE*& cursor) {
    if (!field) {
        return nullptr;
    }
    auto* text = reinterpret_cast<LPWSTR>(cursor);
    std::copy(field->begin(), field->end(), text);
    text[field->size()] = L'\0';
    cursor += (field->size() + 1) * sizeof(wchar_t);
    return text;
}

std::size_t RecordBytes(const SessionView& session) {
    return sizeof(SESSION_INFO_2) + FieldBytes(*session.client) + FieldBytes(*session.user) +
           FieldBytes(*session.clientType);
}

std::size_t RecordBytes(const FileLine* file) {
    return sizeof(FILE_INFO_3) + FieldBytes(file->path) + FieldBytes(file->user);
}

void Fill(const SessionView& session, SESSION_INFO_2& info, BYTE*& cursor) {
    info.sesi2_cname = PlaceText(*session.client, cursor);
    info.sesi2_username = PlaceText(*session.user, cursor);
    info.sesi2_num_opens = session.openCount;
    info.sesi2_time = session.connectedSeconds;
    info.sesi2_idle_time = session.idleSeconds;
    info.sesi2_user_flags = session.userFlags;
    info.sesi2_cltype_name = PlaceText(*session.clientType, cursor);
}

void Fill(const FileLine* file, FILE_INFO_3& info, BYTE*& cursor) {
    info.fi3_id = file->id;
    info.fi3_permissions = file->permissions;
    info.fi3_num_locks = file->locks;
    info.fi3_pathname = PlaceText(file->path, cursor);
    info.fi3_username = PlaceText(file->user, cursor);
}

// Where an enumeration stands between rounds. The resume handle carries the position of the next record
// and the number of rounds done. A file enumeration keeps the round count above bit 32, so a caller that
// passes a 32-bit resume handle to NetFileEnum loses it and a "fail files round" directive shows it.
struct Progress {
    std::size_t position = 0;
    DWORD round = 1; // 1 for the first round
};

constexpr std::uint64_t kSessionPositionMask = 0xFFFFF; // 20 bits of position, 12 of rounds

Progress DecodeSessionHandle(DWORD handle) {
    return Progress{handle & kSessionPositionMask, (handle >> 20) + 1};
}

DWORD EncodeSessionHandle(std::size_t position, DWORD roundsDone) {
    return static_cast<DWORD>(std::min<std::uint64_t>(position, kSessionPositionMask) |
                              (std::min<DWORD>(roundsDone, 0xFFF) << 20));
}

Progress DecodeFileHandle(DWORD_PTR handle) {
    const auto value = static_cast<std::uint64_t>(handle);
    return Progress{static_cast<std::size_t>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32) + 1};
}

DWORD_PTR EncodeFileHandle(std::size_t position, DWORD roundsDone) {
    return static_cast<DWORD_PTR>(std::min<std::uint64_t>(position, 0xFFFFFFFFu) |
                                  (static_cast<std::uint64_t>(roundsDone) << 32));
}

struct RoundResult {
    NET_API_STATUS status = NERR_Success;
    std::size_t next = 0; // position after the round
};

// One round over the records from progress.position: at most `page` records (0 = no limit) and at most
// prefmaxlen bytes, in one buffer that NetApiBufferFree releases.
template <typename Info, typename Record>
RoundResult ServeRound(const std::vector<Record>& records, std::size_t position, DWORD page, DWORD prefmaxlen,
                       LPBYTE* bufptr, LPDWORD entriesread, LPDWORD totalentries) {
    position = std::min(position, records.size());
    const std::size_t remaining = records.size() - position;
    std::size_t count = page > 0 ? std::min<std::size_t>(remaining, page) : remaining;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t recordBytes = RecordBytes(records[position + i]);
        if (prefmaxlen != MAX_PREFERRED_LENGTH && bytes + recordBytes > prefmaxlen) {
            count = i;
            break;
        }
        bytes += recordBytes;
    }
    *totalentries = static_cast<DWORD>(remaining);
    if (count == 0) {
        return RoundResult{remaining > 0 ? static_cast<NET_API_STATUS>(NERR_BufTooSmall) : NERR_Success, position};
    }
    auto* block = static_cast<BYTE*>(AllocateBuffer(bytes));
    if (block == nullptr) {
        return RoundResult{ERROR_NOT_ENOUGH_MEMORY, position};
    }
    auto* infos = reinterpret_cast<Info*>(block);
    BYTE* cursor = block + count * sizeof(Info);
    for (std::size_t i = 0; i < count; ++i) {
        Fill(records[position + i], infos[i], cursor);
    }
    *bufptr = block;
    *entriesread = static_cast<DWORD>(count);
    const std::size_t next = position + count;
    return RoundResult{next < records.size() ? static_cast<NET_API_STATUS>(ERROR_MORE_DATA) : NERR_Success, next};
}

// Clears the outputs; false when one of them is missing.
bool StartEnumeration(LPBYTE* bufptr, LPDWORD entriesread, LPDWORD totalentries) {
    if (bufptr != nullptr) {
        *bufptr = nullptr;
    }
    if (entriesread != nullptr) {
        *entriesread = 0;
    }
    if (totalentries != nullptr) {
        *totalentries = 0;
    }
    return bufptr != nullptr && entriesread != nullptr && totalentries != nullptr;
}

std::string ToUtf8(LPCWSTR text) {
    if (text == nullptr) {
        return "(null)";
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return std::string();
    }
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(length) - 1);
    return utf8;
}

// Appends a line to the file named by the environment variable, if set. The file is opened for each
// line, so every line is on disk when the call returns.
void RecordLine(LPCWSTR variable, const std::string& line) {
    wchar_t path[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableW(variable, path, MAX_PATH * 2);
    if (length == 0) {
        // A service sees none of the test's variables: C:\glimmerfen-sim\<variable>.txt where that folder
        // exists.
        const std::wstring fallback = std::wstring(L"C:\\glimmerfen-sim\\") + variable + L".txt";
        const DWORD folder = GetFileAttributesW(L"C:\\glimmerfen-sim");
        if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            fallback.size() >= MAX_PATH * 2) {
            return;
        }
        length = static_cast<DWORD>(fallback.size());
        fallback.copy(path, fallback.size());
        path[length] = L'\0';
    }
    if (length >= MAX_PATH * 2) {
        return;
    }
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

// "client<TAB>user" of every NetSessionDel, to GLIMMERFEN_SIM_DELETIONS.
void RecordDeletion(LPCWSTR client, LPCWSTR user) {
    RecordLine(L"GLIMMERFEN_SIM_DELETIONS", ToUtf8(client) + "\t" + ToUtf8(user) + "\n");
}

// Every round of either enumeration, to GLIMMERFEN_SIM_CALLS: "sessions" or "files<TAB>user filter".
void RecordCall(const char* what, LPCWSTR user) {
    RecordLine(L"GLIMMERFEN_SIM_CALLS", std::string(what) + (user != nullptr ? "\t" + ToUtf8(user) : "") + "\n");
}

// Appends "program<TAB>this library" (full paths) to GLIMMERFEN_SIM_LOADS: which copy of the library a
// program loaded.
void RecordLoad(HINSTANCE self) {
    wchar_t program[MAX_PATH * 2] = {};
    wchar_t library[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH * 2);
    GetModuleFileNameW(self, library, MAX_PATH * 2);
    RecordLine(L"GLIMMERFEN_SIM_LOADS", ToUtf8(program) + "\t" + ToUtf8(library) + "\n");
}

// A variable's value, empty when unset.
std::wstring EnvironmentText(LPCWSTR variable) {
    wchar_t value[512];
    const DWORD length = GetEnvironmentVariableW(variable, value, 512);
    return length > 0 && length < 512 ? std::wstring(value, length) : std::wstring();
}

std::wstring_view WithoutBackslashes(std::wstring_view name) {
    while (!name.empty() && name.front() == L'\\') {
        name.remove_prefix(1);
    }
    return name;
}

// What comes before every call is served: the pause of GLIMMERFEN_SIM_DELAY_MS and of the scenario's
// "delay" step, outside the lock, as a distant computer's network would take it; then whether the call
// names the computer this server plays (GLIMMERFEN_SIM_COMPUTER; unset or empty: this computer, named
// by a null or empty server name). 0 when it does, else 53 (ERROR_BAD_NETPATH), as for a computer that
// cannot be reached. The variables are read at every call.
DWORD ServerGate(LPCWSTR server) {
    const std::wstring delay = EnvironmentText(L"GLIMMERFEN_SIM_DELAY_MS");
    DWORD pause = delay.empty() ? 0 : static_cast<DWORD>(std::wcstoul(delay.c_str(), nullptr, 10));
    {
        Lock lock;
        pause += Sim().Delay();
    }
    if (pause > 0) {
        Sleep(pause);
    }
    const std::wstring computer = EnvironmentText(L"GLIMMERFEN_SIM_COMPUTER");
    const std::wstring_view asked = WithoutBackslashes(server != nullptr ? std::wstring_view(server) : L"");
    const std::wstring_view played = WithoutBackslashes(computer);
    if (played.empty()) {
        return asked.empty() ? NERR_Success : ERROR_BAD_NETPATH;
    }
    if (server == nullptr || asked.size() != played.size() ||
        CompareStringOrdinal(asked.data(), static_cast<int>(asked.size()), played.data(),
                             static_cast<int>(played.size()), TRUE) != CSTR_EQUAL) {
        return ERROR_BAD_NETPATH;
    }
    return NERR_Success;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        RecordLoad(self);
        g_loadTickMs = GetTickCount64();
        g_initialScenario = new std::wstring(glimmerfen::sim::ScenarioPath());
    }
    return TRUE;
}

NET_API_STATUS WINAPI NetSessionEnum(LMSTR servername, LMSTR UncClientName, LMSTR username, DWORD level, LPBYTE* bufptr,
                                     DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                     LPDWORD resume_handle) {
    if (!StartEnumeration(bufptr, entriesread, totalentries)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (level != 2) {
        return ERROR_INVALID_LEVEL;
    }
    if (const DWORD unreachable = ServerGate(servername)) {
        return unreachable;
    }
    Lock lock;
    RecordCall("sessions", username);
    Simulation& sim = Sim();
    if (const DWORD failure = sim.AllFailure()) {
        return failure;
    }
    const Progress progress = DecodeSessionHandle(resume_handle ? *resume_handle : 0);
    if (const DWORD failure = sim.SessionFailure(progress.round)) {
        return failure;
    }
    const std::vector<SessionView> sessions = sim.Sessions(UncClientName, username);
    const RoundResult result = ServeRound<SESSION_INFO_2>(sessions, progress.position, sim.SessionPage(), prefmaxlen,
                                                          bufptr, entriesread, totalentries);
    if (resume_handle != nullptr && (result.status == NERR_Success || result.status == ERROR_MORE_DATA)) {
        *resume_handle = result.status == ERROR_MORE_DATA ? EncodeSessionHandle(result.next, progress.round) : 0;
    }
    return result.status;
}

NET_API_STATUS WINAPI NetFileEnum(LMSTR servername, LMSTR basepath, LMSTR username, DWORD level, LPBYTE* bufptr,
                                  DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                  PDWORD_PTR resume_handle) {
    if (!StartEnumeration(bufptr, entriesread, totalentries)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (level != 3) {
        return ERROR_INVALID_LEVEL;
    }
    if (const DWORD unreachable = ServerGate(servername)) {
        return unreachable;
    }
    Lock lock;
    RecordCall("files", username);
    Simulation& sim = Sim();
    if (const DWORD failure = sim.AllFailure()) {
        return failure;
    }
    const Progress progress = DecodeFileHandle(resume_handle ? *resume_handle : 0);
    if (const DWORD failure = sim.FileFailure(progress.round)) {
        return failure;
    }
    const std::vector<const FileLine*> files = sim.Files(basepath, username);
    const RoundResult result = ServeRound<FILE_INFO_3>(files, progress.position, sim.FilePage(), prefmaxlen, bufptr,
                                                       entriesread, totalentries);
    if (resume_handle != nullptr && (result.status == NERR_Success || result.status == ERROR_MORE_DATA)) {
        *resume_handle = result.status == ERROR_MORE_DATA ? EncodeFileHandle(result.next, progress.round) : 0;
    }
    return result.status;
}

NET_API_STATUS WINAPI NetFileClose(LMSTR servername, DWORD fileid) {
    if (const DWORD unreachable = ServerGate(servername)) {
        return unreachable;
    }
    Lock lock;
    Simulation& sim = Sim();
    if (const DWORD failure = sim.AllFailure()) {
        return failure;
    }
    RecordLine(L"GLIMMERFEN_SIM_FILECLOSES", std::to_string(fileid) + "\n");
    return sim.CloseFileById(fileid);
}

NET_API_STATUS WINAPI NetSessionDel(LMSTR servername, LMSTR UncClientName, LMSTR username) {
    if (const DWORD unreachable = ServerGate(servername)) {
        return unreachable;
    }
    Lock lock;
    Simulation& sim = Sim();
    if (const DWORD failure = sim.AllFailure()) {
        return failure;
    }
    RecordDeletion(UncClientName, username);
    return sim.DeleteSessions(UncClientName, username);
}

NET_API_STATUS WINAPI NetApiBufferAllocate(DWORD ByteCount, LPVOID* Buffer) {
    if (Buffer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    Lock lock;
    Sim();
    *Buffer = AllocateBuffer(ByteCount);
    return *Buffer != nullptr ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID Buffer) {
    if (Buffer == nullptr) {
        return NERR_Success;
    }
    Lock lock;
    if (g_buffers == nullptr || g_buffers->erase(Buffer) == 0) {
        ++g_badFrees;
        return ERROR_INVALID_PARAMETER;
    }
    HeapFree(GetProcessHeap(), 0, Buffer);
    return NERR_Success;
}

NET_API_STATUS WINAPI NetApiBufferSize(LPVOID Buffer, LPDWORD ByteCount) {
    if (Buffer == nullptr || ByteCount == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    Lock lock;
    if (g_buffers == nullptr || g_buffers->count(Buffer) == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    *ByteCount = static_cast<DWORD>(HeapSize(GetProcessHeap(), 0, Buffer));
    return NERR_Success;
}

// For tests: 0 when the current scenario was read completely, the first line not understood, -1 when
// the named file cannot be read, -2 in random mode. Reloads the scenario first if it changed.
int WINAPI GlimmerfenSimScenarioStatus() {
    Lock lock;
    return Sim().ScenarioStatus();
}

// For tests: the buffers handed out and not freed, and the frees of pointers never handed out (or freed
// twice).
void WINAPI GlimmerfenSimBufferStats(LPDWORD outstanding, LPDWORD badFrees) {
    Lock lock;
    if (outstanding != nullptr) {
        *outstanding = g_buffers ? static_cast<DWORD>(g_buffers->size()) : 0;
    }
    if (badFrees != nullptr) {
        *badFrees = g_badFrees;
    }
}

} // extern "C"
