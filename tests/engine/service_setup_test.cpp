// Installing and removing the service: which calls reach the service manager, and what the user and
// the calling script are told; and the start routine's three ways with the service.
#include "app/ServiceSetup.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CheckerApp.h"
#include "app/InstanceNames.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen {
namespace {

using platform::ServiceCall;

// What the service manager answers to each call, and the calls it got, in order.
struct Script {
    ServiceCall query = ServiceCall::Missing, create = ServiceCall::Done, stop = ServiceCall::Done,
                remove = ServiceCall::Done;
    std::string installedLine;
    std::vector<std::string> calls;
    platform::ServiceDefinition created;
};

struct FakeManager : platform::ServiceManager {
    Script& s;
    explicit FakeManager(Script& script) : s(script) {}
    ServiceCall Query(const std::string& name, std::string& commandLine) override {
        s.calls.push_back("query " + name);
        commandLine = s.installedLine;
        return s.query;
    }
    ServiceCall Create(const platform::ServiceDefinition& definition) override {
        s.calls.push_back("create");
        s.created = definition;
        return s.create;
    }
    ServiceCall Stop(const std::string&, std::chrono::milliseconds) override {
        s.calls.push_back("stop");
        return s.stop;
    }
    ServiceCall Delete(const std::string&) override {
        s.calls.push_back("delete");
        return s.remove;
    }
};

const std::string kExe = "C:\\Tools\\Glimmerfen\\GlimmerfenChecker.exe";
const std::string kOurs = "\"c:\\tools\\glimmerfen\\GLIMMERFENCHECKER.EXE\" /service";
const std::string kOther = "\"C:\\Tools\\Glimmerfen2\\GlimmerfenChecker.exe\" /service";

TEST(ServiceSetup, DecisionsFollowTheManagersAnswers) {
    struct Case {
        bool install;
        ServiceCall query;
        std::string installedLine;
        ServiceCall create, stop, remove;
        std::vector<std::string> calls; // after the query
        ServiceSetup outcome;
        int exitCode;
    };
    const auto D = ServiceCall::Done, M = ServiceCall::Missing, E = ServiceCall::Exists, N = ServiceCall::NoRights,
               F = ServiceCall::Failed;
    const Case cases[] = {
        {true, M, "", D, D, D, {"create"}, ServiceSetup::Installed, 0},
        {true, M, "", N, D, D, {"create"}, ServiceSetup::NoRights, 5},
        {true, M, "", E, D, D, {"create"}, ServiceSetup::AlreadyInstalled, 2}, // made meanwhile
        {true, M, "", F, D, D, {"create"}, ServiceSetup::Failed, 1},
        {true, D, kOurs, D, D, D, {}, ServiceSetup::AlreadyInstalled, 2},
        {true, D, kOther, D, D, D, {}, ServiceSetup::OtherCopy, 3},
        {true, N, "", D, D, D, {}, ServiceSetup::NoRights, 5},
        {false, M, "", D, D, D, {}, ServiceSetup::NotInstalled, 2},
        {false, D, kOurs, D, D, D, {"stop", "delete"}, ServiceSetup::Removed, 0},
        {false, D, kOurs, D, M, D, {"stop", "delete"}, ServiceSetup::Removed, 0},
        // Not stopped in time: deleted all the same, the manager removes it once it has ended.
        {false, D, kOurs, D, F, D, {"stop", "delete"}, ServiceSetup::RemovalPending, 0},
        {false, D, kOurs, D, N, D, {"stop"}, ServiceSetup::NoRights, 5},
        {false, D, kOurs, D, D, N, {"stop", "delete"}, ServiceSetup::NoRights, 5},
        {false, D, kOurs, D, D, M, {"stop", "delete"}, ServiceSetup::NotInstalled, 2},
        {false, D, kOurs, D, D, F, {"stop", "delete"}, ServiceSetup::Failed, 1},
        // Another folder's service of the same computer is neither stopped nor removed.
        {false, D, kOther, D, D, D, {}, ServiceSetup::OtherCopy, 3},
        {false, F, "", D, D, D, {}, ServiceSetup::Failed, 1},
    };
    int row = 0;
    for (const Case& c : cases) {
        Script script{c.query, c.create, c.stop, c.remove, c.installedLine, {}, {}};
        FakeManager manager(script);
        std::string installed;
        const ServiceSetup outcome =
            c.install ? InstallService(manager, {"GlimmerfenChecker", "d", "t", kOurs}, kExe, installed)
                      : RemoveService(manager, "GlimmerfenChecker", kExe, installed);
        std::vector<std::string> calls = {"query GlimmerfenChecker"};
        calls.insert(calls.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(script.calls, calls) << "row " << row;
        EXPECT_EQ(outcome, c.outcome) << "row " << row;
        EXPECT_EQ(ServiceSetupExitCode(outcome), c.exitCode) << "row " << row;
        ++row;
    }
}

// Only what the start routine's way with the service needs; the engine's steps write nothing.
class FakeStartupHost : public StartupHost {
public:
    explicit FakeStartupHost(std::string arguments) : arguments_(std::move(arguments)) {}
    Script script;
    std::vector<std::string> steps;
    std::vector<std::string> messages;

    std::optional<unsigned long> SystemPlatform() override { return 2; }
    std::string ModulePath() override { return kExe; }
    std::string CommandLineText() override { return "\"" + kExe + "\" " + arguments_; }
    MutexResult CreateInstanceMutex(const std::string& name) override {
        // "Global\\GlimmerfenChecker.Folder.<hash>" -> "lock Folder"
        const std::size_t kind = name.find('.') + 1;
        steps.push_back("lock " + name.substr(kind, name.find('.', kind) - kind));
        return MutexResult::Created;
    }
    std::vector<std::string> ComputerNames() override { return {"MYPC"}; }
    std::unique_ptr<platform::ServiceManager> ServiceManager() override {
        return std::make_unique<FakeManager>(script);
    }
    void BeginServiceMode(const std::string&) override { steps.push_back("service mode"); }
    void RunService(CCheckerApp&, const std::string& name) override { steps.push_back("service " + name); }
    void RunMainWindow(CCheckerApp&) override { steps.push_back("main window"); }
    void ShowMessage(const std::string& text, const std::string&, platform::MessageIcon) override {
        messages.push_back(text);
    }
    void LoadSettings(AppSettings&, const std::string&) override {}
    void TrimLog(const std::string&, int) override { steps.push_back("trim"); }
    void SaveSettings(const AppSettings&, const std::string&) override { steps.push_back("save"); }
    std::optional<unsigned> TimerResolution() override { return 1; }
    bool BeginTimerPeriod(unsigned) override { return false; }

private:
    std::string arguments_;
};

TEST(ServiceSetup, StartRoutineInstallsRunsOrDefersToTheService) {
    const std::string fs01 = ServiceName("fs01");
    struct Case {
        std::string arguments;
        std::string installedLine; // empty: no service
        std::vector<std::string> steps;
        std::string createdLine; // the new service's command line, empty when none was made
        unsigned messageId;      // 0: no message
        int exitCode;
    };
    const Case cases[] = {
        {"/install-service /server:\\\\fs01",
         "",
         {},
         "\"" + kExe + "\" /service /server:fs01",
         IDS_SERVICE_INSTALLED,
         0},
        {"/install-service", "", {}, "\"" + kExe + "\" /service", IDS_SERVICE_INSTALLED, 0},
        {"/uninstall-service", "", {}, "", IDS_SERVICE_NOT_INSTALLED, 2},
        // An installer's silent run: no box would ever be answered, the exit code alone tells.
        {"/install-service /quiet", "", {}, "\"" + kExe + "\" /service", 0, 0},
        {"/QUIET /uninstall-service", "", {}, "", 0, 2},
        {"/install-service /quiet", kOther, {}, "", 0, 3},
        // A start refused before the service manager is asked is no success either.
        {"/install-service /quiet /server:fs01&calc", "", {}, "", 0, 1},
        {"/install-service /server:fs01&calc", "", {}, "", IDS_BAD_COMPUTER_NAME, 1},
        // The tray of a folder whose service is installed is the service's window: no watch of its own,
        // no trimming of the log the service writes.
        {"", kOurs, {"lock Window", "main window", "save"}, "", 0, 0},
        {"", kOther, {"lock Folder", "lock Computer", "trim", "main window", "save"}, "", 0, 0},
        // The service itself: no box, and the INI file is left to the option sheet that writes it.
        {"/service",
         kOurs,
         {"service mode", "lock Folder", "lock Computer", "trim", "service GlimmerfenChecker"},
         "",
         0,
         0},
    };
    for (const Case& c : cases) {
        FakeStartupHost host(c.arguments);
        host.script.query = c.installedLine.empty() ? ServiceCall::Missing : ServiceCall::Done;
        host.script.installedLine = c.installedLine;
        CCheckerApp app;
        app.Start(host);
        EXPECT_EQ(app.Exit(host), c.exitCode) << c.arguments;
        EXPECT_EQ(host.steps, c.steps) << c.arguments;
        EXPECT_EQ(host.script.created.commandLine, c.createdLine) << c.arguments;
        EXPECT_EQ(app.servicePipe, c.arguments.empty() && c.installedLine == kOurs ? ServiceName("") : "")
            << c.arguments;
        if (c.messageId == 0) {
            EXPECT_TRUE(host.messages.empty()) << c.arguments;
        } else {
            ASSERT_EQ(host.messages.size(), 1u) << c.arguments;
            EXPECT_EQ(host.messages[0].rfind(platform::LoadText(c.messageId), 0), 0u) << c.arguments;
        }
    }
    EXPECT_NE(fs01, ServiceName(""));
    EXPECT_EQ(fs01, ServiceName("FS01")); // one service per computer, whatever the spelling
    EXPECT_EQ(fs01.find_first_of(" \\/"), std::string::npos);
}

} // namespace
} // namespace glimmerfen
