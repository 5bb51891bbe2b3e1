// The simulated file server's state and its two ways of changing over time.
#include "Simulation.h"

#include <lm.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <unordered_map>

namespace glimmerfen::sim {
namespace {

constexpr wchar_t kScenarioVariable[] = L"GLIMMERFEN_SIM_SCENARIO";
constexpr wchar_t kSeedVariable[] = L"GLIMMERFEN_SIM_SEED";

std::wstring Environment(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

} // namespace

std::wstring ScenarioPath() {
    std::wstring path = Environment(kScenarioVariable);
    if (path.empty() && GetFileAttributesW(kFixedScenarioPath) != INVALID_FILE_ATTRIBUTES) {
        path = kFixedScenarioPath;
    }
    return path;
}

namespace {

std::wstring_view NameOf(const Field& field) {
    return field ? std::wstring_view(*field) : std::wstring_view();
}

bool SameText(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    if (a.empty()) {
        return true;
    }
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool StartsWithText(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// A client name as NetSessionDel and NetSessionEnum take it: "\\NAME" or "NAME".
std::wstring_view WithoutBackslashes(const wchar_t* name) {
    std::wstring_view view(name);
    for (int i = 0; i < 2 && !view.empty() && view.front() == L'\\'; ++i) {
        view.remove_prefix(1);
    }
    return view;
}

DWORD SecondsBetween(std::uint64_t fromMs, std::uint64_t toMs) {
    return toMs > fromMs ? static_cast<DWORD>((toMs - fromMs) / 1000) : 0;
}

struct RandomClient {
    const wchar_t* client;
    const wchar_t* user;
    DWORD userFlags;
    const wchar_t* clientType;
};

constexpr std::array<RandomClient, 6> kRandomClients{{
    {L"ACCOUNTING-PC", L"keiri", 0, L"Windows 2002 Service Pack 2 2600"},
    {L"SALES-NOTE01", L"tanaka", 0, L"Windows 2000 2195"},
    {L"DESIGN-WS", L"suzuki", 0, L"Windows 2002 Service Pack 1 2600"},
    {L"RECEPTION", L"guest", 1, L"Windows 4.0"},
    {L"LAB-PC07", L"yamada", 2, L"Unix"},
    {L"192.168.1.23", L"sato", 0, L""},
}};

constexpr std::array<const wchar_t*, 4> kFolders{{
    L"C:\\Share\\Documents\\",
    L"D:\\Projects\\2024\\",
    L"C:\\Users\\Public\\Shared\\",
    L"E:\\Archive\\Photos\\",
}};

constexpr std::array<const wchar_t*, 8> kFileNames{{
    L"estimate.xlsx",
    L"minutes.docx",
    L"drawing_rev3.dwg",
    L"photo_0123.jpg",
    L"setup.exe",
    L"report.pdf",
    L"notes.txt",
    L"inventory.mdb",
}};

// Shown only where the code page can show them.
constexpr std::array<const wchar_t*, 3> kJapaneseFileNames{{
    L"\u8b70\u4e8b\u9332.docx",      // minutes
    L"\u898b\u7a4d\u66f8.xlsx",      // estimate
    L"\u793e\u5185\u901a\u77e5.pdf", // internal notice
}};

constexpr std::array<DWORD, 6> kPermissions{{1, 1, 1, 2, 3, 35}};

} // namespace

// A user name as a key that every spelling SameName takes for it shares.
std::wstring UserKey(const Field& user) {
    std::wstring key(NameOf(user));
    if (!key.empty()) {
        CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    }
    return key;
}

bool SameName(const Field& a, const Field& b) {
    return SameText(NameOf(a), NameOf(b));
}

bool SameName(const Field& a, const wchar_t* b) {
    return SameText(NameOf(a), b ? std::wstring_view(b) : L"");
}

bool Simulation::FileStamp::operator==(const FileStamp& other) const {
    return exists == other.exists && size == other.size && written.dwLowDateTime == other.written.dwLowDateTime &&
           written.dwHighDateTime == other.written.dwHighDateTime;
}

Simulation::Simulation(std::uint64_t loadTickMs, std::wstring initialScenario)
    : loadTickMs_(loadTickMs), initialScenario_(std::move(initialScenario)) {}

Simulation::FileStamp Simulation::StampOf(const std::wstring& path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        stamp.exists = true;
        stamp.written = data.ftLastWriteTime;
        stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return stamp;
}

std::uint64_t Simulation::NowMs() const {
    const std::uint64_t tick = GetTickCount64();
    return tick > originTickMs_ ? tick - originTickMs_ : 0;
}

void Simulation::Update() {
    const std::wstring path = ScenarioPath();
    const bool fromLoad = firstLoad_ && path == initialScenario_;
    firstLoad_ = false;
    if (path.empty()) {
        if (!randomMode_) {
            originTickMs_ = fromLoad ? loadTickMs_ : GetTickCount64();
            StartRandom();
        }
    } else {
        const FileStamp stamp = StampOf(path);
        if (randomMode_ || path != path_ || !(stamp == stamp_)) {
            originTickMs_ = fromLoad ? loadTickMs_ : GetTickCount64();
            Load(path, stamp);
        }
    }
    nowMs_ = NowMs();
    if (randomMode_) {
        PlayRandom(nowMs_);
    } else {
        PlaySteps(nowMs_);
    }
}

void Simulation::Load(const std::wstring& path, const FileStamp& stamp) {
    randomMode_ = false;
    path_ = path;
    stamp_ = stamp;
    ForgetSessions();
    files_.clear();
    nextStep_ = 0;
    sessionDenial_ = 0;
    allFailure_ = 0;
    delayMs_ = 0;
    scenario_ = Scenario();
    status_ = -1;

    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr) != FALSE) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    if (!ok) {
        return;
    }
    scenario_ = ParseScenario(bytes);
    status_ = scenario_.firstBadLine;
}

void Simulation::StartRandom() {
    randomMode_ = true;
    path_.clear();
    stamp_ = FileStamp();
    scenario_ = Scenario();
    status_ = -2;
    ForgetSessions();
    files_.clear();
    nextStep_ = 0;
    const std::wstring seedText = Environment(kSeedVariable);
    random_.seed(seedText.empty() ? 1u : static_cast<unsigned>(std::wcstoul(seedText.c_str(), nullptr, 10)));
    nextTickMs_ = 0;
    nextFileId_ = 101;
}

void Simulation::PlaySteps(std::uint64_t nowMs) {
    while (nextStep_ < scenario_.steps.size() && scenario_.steps[nextStep_].atMs <= nowMs) {
        const Step& step = scenario_.steps[nextStep_++];
        switch (step.kind) {
        case StepKind::AddSession:
            AddSession(step.session, step.atMs);
            break;
        case StepKind::AddFile:
            AddFile(step.file);
            break;
        case StepKind::EndSession:
            EndSessions(step.session.client, step.session.user);
            break;
        case StepKind::EndAll:
            ForgetSessions();
            files_.clear();
            break;
        case StepKind::CloseFile:
            CloseFile(step.file.id);
            break;
        case StepKind::DenySessions:
            sessionDenial_ = step.file.id;
            break;
        case StepKind::FailAll:
            allFailure_ = step.file.id;
            break;
        case StepKind::Delay:
            delayMs_ = step.file.id;
            break;
        }
    }
}

void Simulation::PlayRandom(std::uint64_t nowMs) {
    // After a long pause (a suspended machine) only the last hour is played.
    constexpr std::uint64_t kMaxCatchUpMs = 3600 * 1000;
    if (nowMs > kMaxCatchUpMs && nextTickMs_ < nowMs - kMaxCatchUpMs) {
        nextTickMs_ = nowMs - kMaxCatchUpMs;
    }
    while (nextTickMs_ <= nowMs) {
        RandomTick(nextTickMs_);
        nextTickMs_ += 1000;
    }
}

void Simulation::RandomTick(std::uint64_t tickMs) {
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    for (const RandomClient& client : kRandomClients) {
        const Field clientName = std::wstring(client.client);
        const Field userName = std::wstring(client.user);
        const double roll = chance(random_);
        auto session = std::find_if(sessions_.begin(), sessions_.end(),
                                    [&](const LiveSession& s) { return SameName(s.line.client, clientName); });
        if (session == sessions_.end()) {
            if (roll < 0.12) {
                SessionLine line;
                line.client = clientName;
                line.user = userName;
                line.userFlags = client.userFlags;
                line.clientType = std::wstring(client.clientType);
                AddSession(line, tickMs);
            }
            continue;
        }
        const auto openCount =
            std::count_if(files_.begin(), files_.end(), [&](const FileLine& f) { return SameName(f.user, userName); });
        if (roll < 0.03 && tickMs - session->sinceMs >= 8000) {
            EndSessions(clientName, userName);
        } else if (roll < 0.28 && openCount < 4) {
            FileLine file;
            file.user = userName;
            file.id = nextFileId_++;
            file.permissions = kPermissions[random_() % kPermissions.size()];
            file.locks = random_() % 4 == 0 ? 1 : 0;
            const bool japanese = GetACP() == 932 && random_() % 3 == 0;
            file.path = std::wstring(kFolders[random_() % kFolders.size()]) +
                        (japanese ? kJapaneseFileNames[random_() % kJapaneseFileNames.size()]
                                  : kFileNames[random_() % kFileNames.size()]);
            AddFile(file);
            // Opening a file is an action of the client.
            session->actedMs = tickMs;
            session->idleAtLastAction = 0;
        } else if (roll < 0.48 && openCount > 0) {
            std::vector<DWORD> ids;
            for (const FileLine& f : files_) {
                if (SameName(f.user, userName)) {
                    ids.push_back(f.id);
                }
            }
            CloseFile(ids[random_() % ids.size()]);
        }
    }
}

std::wstring Simulation::SessionKey(const LiveSession& session) {
    return UserKey(session.line.client) + L'\n' + UserKey(session.line.user);
}

void Simulation::ForgetSessions() {
    sessions_.clear();
    liveKeys_.clear();
}

void Simulation::AddSession(const SessionLine& line, std::uint64_t atMs) {
    LiveSession session;
    session.line = line;
    session.sinceMs = atMs;
    session.actedMs = atMs;
    session.connectedAtStart = line.connectedSeconds;
    session.idleAtLastAction = line.idleSeconds;
    std::wstring key = SessionKey(session);
    // A client and user that connect again start a new session.
    if (liveKeys_.count(key) != 0) {
        RemoveSessions([&](const LiveSession& s) {
            return SameName(s.line.client, line.client) && SameName(s.line.user, line.user);
        });
    }
    ++liveKeys_[std::move(key)];
    sessions_.push_back(std::move(session));
}

void Simulation::AddFile(const FileLine& line) {
    files_.push_back(line);
}

void Simulation::EndSessions(const Field& client, const Field& user) {
    RemoveSessions(
        [&](const LiveSession& s) { return SameName(s.line.client, client) && SameName(s.line.user, user); });
}

DWORD Simulation::CloseFileById(DWORD id) {
    const bool open = std::any_of(files_.begin(), files_.end(), [id](const FileLine& f) { return f.id == id; });
    if (!open) {
        return 2314; // NERR_FileIdNotFound
    }
    CloseFile(id);
    return NERR_Success;
}

void Simulation::CloseFile(DWORD id) {
    files_.erase(std::remove_if(files_.begin(), files_.end(), [id](const FileLine& f) { return f.id == id; }),
                 files_.end());
}

std::size_t Simulation::RemoveSessions(const std::function<bool(const LiveSession&)>& match) {
    std::vector<Field> endedUsers;
    const auto firstRemoved =
        std::stable_partition(sessions_.begin(), sessions_.end(), [&](const LiveSession& s) { return !match(s); });
    for (auto it = firstRemoved; it != sessions_.end(); ++it) {
        endedUsers.push_back(it->line.user);
        const auto live = liveKeys_.find(SessionKey(*it));
        if (live != liveKeys_.end() && --live->second == 0) {
            liveKeys_.erase(live);
        }
    }
    const auto removed = static_cast<std::size_t>(sessions_.end() - firstRemoved);
    sessions_.erase(firstRemoved, sessions_.end());
    // The files belong to the user; they close with the user's last session.
    for (const Field& user : endedUsers) {
        const bool stillConnected = std::any_of(sessions_.begin(), sessions_.end(),
                                                [&](const LiveSession& s) { return SameName(s.line.user, user); });
        if (!stillConnected) {
            files_.erase(
                std::remove_if(files_.begin(), files_.end(), [&](const FileLine& f) { return SameName(f.user, user); }),
                files_.end());
        }
    }
    return removed;
}

std::vector<SessionView> Simulation::Sessions(const wchar_t* clientFilter, const wchar_t* userFilter) const {
    // Each session's open files, counted in one pass: a server of thousands of sessions and files
    // would otherwise cost the program under test more than its own work.
    std::unordered_map<std::wstring, DWORD> opensOfUser;
    for (const FileLine& file : files_) {
        if (std::wstring key = UserKey(file.user); !key.empty()) {
            ++opensOfUser[key];
        }
    }
    std::vector<SessionView> views;
    for (const LiveSession& session : sessions_) {
        if (clientFilter != nullptr && !SameName(session.line.client, WithoutBackslashes(clientFilter).data())) {
            continue;
        }
        if (userFilter != nullptr && !SameName(session.line.user, userFilter)) {
            continue;
        }
        DWORD opens = 0;
        if (const auto found = opensOfUser.find(UserKey(session.line.user)); found != opensOfUser.end()) {
            opens = found->second;
        }
        views.push_back(SessionView{&session.line.client, &session.line.user, opens,
                                    session.connectedAtStart + SecondsBetween(session.sinceMs, nowMs_),
                                    session.idleAtLastAction + SecondsBetween(session.actedMs, nowMs_),
                                    session.line.userFlags, &session.line.clientType});
    }
    return views;
}

std::vector<const FileLine*> Simulation::Files(const wchar_t* basePath, const wchar_t* userFilter) const {
    std::vector<const FileLine*> found;
    for (const FileLine& file : files_) {
        if (basePath != nullptr && !StartsWithText(NameOf(file.path), basePath)) {
            continue;
        }
        if (userFilter != nullptr && !SameName(file.user, userFilter)) {
            continue;
        }
        found.push_back(&file);
    }
    return found;
}

DWORD Simulation::DeleteSessions(const wchar_t* uncClient, const wchar_t* user) {
    if (scenario_.deleteFailure) {
        return *scenario_.deleteFailure;
    }
    if (uncClient == nullptr && user == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring client = uncClient ? std::wstring(WithoutBackslashes(uncClient)) : std::wstring();
    // A client argument without a name (the backslashes alone) names no computer, whatever sessions
    // there are; a null one names every computer.
    if (uncClient != nullptr && client.empty()) {
        return NERR_ClientNameNotFound;
    }
    const std::size_t removed = RemoveSessions([&](const LiveSession& s) {
        return (uncClient == nullptr || SameName(s.line.client, client.c_str())) &&
               (user == nullptr || SameName(s.line.user, user));
    });
    return removed > 0 ? NERR_Success : NERR_ClientNameNotFound;
}

DWORD Simulation::SessionFailure(DWORD round) const {
    if (sessionDenial_ != 0) {
        return sessionDenial_;
    }
    for (const FailRule& rule : scenario_.sessionFailures) {
        if (rule.round == round) {
            return rule.code;
        }
    }
    return 0;
}

DWORD Simulation::FileFailure(DWORD round) const {
    for (const FailRule& rule : scenario_.fileFailures) {
        if (rule.round == round) {
            return rule.code;
        }
    }
    return 0;
}

} // namespace glimmerfen::sim
