#include "ui/dialogs/SendMsgDlg.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "platform/notify.h"
#include "platform/strings.h"
#include "platform/win32/handles.h"
#include "platform/win32/system_library.h"
#include "resource.h"
#include "ui/framework/Help.h"

namespace glimmerfen::ui {

namespace {

// The child's output is read in chunks of at most this many bytes.
constexpr DWORD kReadChunk = 511;
// At most this many chunks are taken in one poll, so that a command printing without pause cannot hold
// up the window's thread either.
constexpr int kChunksPerPoll = 64;
// The timer that polls the running command's output, and its period in milliseconds.
constexpr UINT_PTR kOutputTimer = 1;
constexpr UINT kOutputPollMs = 50;

// Starts the program hidden, at idle priority, printing into `output`; the process's handle, or none
// when it cannot run.
win32::UniqueHandle StartHidden(const std::string& program, const std::string& commandLine, HANDLE output) {
    // CreateProcessA may write into its command line, so it gets a copy of its own.
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    // The program by its full path: without one the system would look in this program's folder
    // first, and whatever lies there would run with this program's rights.
    if (program.empty() || !::CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, TRUE,
                                             IDLE_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
        return {};
    }
    const win32::UniqueHandle thread(process.hThread);
    return win32::UniqueHandle(process.hProcess);
}

// Reads one chunk into `output`; false when the read failed (the pipe has ended).
bool ReadChunk(HANDLE pipe, DWORD wanted, std::string& output) {
    char chunk[kReadChunk];
    DWORD got = 0;
    if (!::ReadFile(pipe, chunk, wanted < kReadChunk ? wanted : kReadChunk, &got, nullptr) || got == 0) {
        return false;
    }
    output.append(chunk, got);
    return true;
}

} // namespace

HiddenCommand::Failure HiddenCommand::Start(const std::string& program, const std::string& commandLine) {
    Abandon();
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!::CreatePipe(&readRaw, &writeRaw, &inheritable, 0)) {
        return Failure::Pipe;
    }
    win32::UniqueHandle readEnd(readRaw);
    win32::UniqueHandle writeEnd(writeRaw);
    // Only the write end goes to the child.
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    win32::UniqueHandle process = StartHidden(program, commandLine, writeEnd.get());
    if (!process) {
        return Failure::Process;
    }
    // Our copy of the write end goes, so that the pipe ends once the child (and whatever inherited
    // the pipe from it) has ended.
    writeEnd.reset();
    readEnd_ = std::move(readEnd);
    process_ = std::move(process);
    return Failure::None;
}

bool HiddenCommand::Collect(std::string& output) {
    if (!readEnd_) {
        return false;
    }
    for (int i = 0; i < kChunksPerPoll; ++i) {
        DWORD available = 0;
        if (!::PeekNamedPipe(readEnd_.get(), nullptr, 0, nullptr, &available, nullptr)) {
            // Every write end is closed. A read can no longer wait: whatever is still buffered comes,
            // then the read fails.
            if (::GetLastError() == ERROR_BROKEN_PIPE) {
                while (ReadChunk(readEnd_.get(), kReadChunk, output)) {
                }
            }
            readEnd_.reset();
            process_.reset();
            return false;
        }
        // Only what is there is read: a read of more would wait for the child.
        if (available == 0 || !ReadChunk(readEnd_.get(), available, output)) {
            break;
        }
    }
    return true;
}

void HiddenCommand::Abandon() noexcept {
    if (readEnd_ && process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        // Nobody reads what it prints any more; a message to an absent computer would wait on for
        // tens of seconds, hidden.
        ::TerminateProcess(process_.get(), 1);
    }
    readEnd_.reset();
    process_.reset();
}

MessageCommand SystemMessageCommand() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool known = ::GetVersionExA(&version) != FALSE;
    // From version 6 on "net send" is gone (it prints its usage text and sends nothing); "msg" sends
    // to the sessions of the recipient instead.
    return MessageCommandFor(known ? version.dwMajorVersion : 6);
}

CSendMsgDlg::CSendMsgDlg(std::string appName) : Dialog(IDD_SEND_MESSAGE), appName_(std::move(appName)) {}

bool CSendMsgDlg::OnInitDialog() {
    SetItemText(IDC_RECIPIENT, recipient);
    SetItemText(IDC_SENDER, sender);
    message.clear();
    sending_ = false;
    output_.clear();
    // The focus goes to the first control in tab order, "Transmission".
    return true;
}

void CSendMsgDlg::OnOK() {
    if (!sending_) {
        SendNetMessage();
    }
}

void CSendMsgDlg::SendNetMessage() {
    recipient = ItemText(IDC_RECIPIENT);
    sender = ItemText(IDC_SENDER);
    message = ItemText(IDC_MESSAGE);
    const MessageCommand preferred = command_.value_or(SystemMessageCommand());
    const MessageCommandLine built = BuildMessageCommandLine(preferred, recipient, sender, message);
    switch (built.refusal) {
    case CommandRefusal::None:
        break;
    case CommandRefusal::Recipient:
        platform::ShowMessage(platform::LoadText(IDS_BAD_COMPUTER_NAME), appName_, platform::MessageIcon::Warning);
        return;
    case CommandRefusal::Character:
        platform::ShowMessage(platform::LoadText(IDS_MESSAGE_BAD_CHARACTER), appName_, platform::MessageIcon::Warning);
        return;
    case CommandRefusal::TooLong:
        // Refused whole rather than cut: a message cut short is not the one the user wrote.
        platform::ShowMessage(platform::LoadText(IDS_MESSAGE_TOO_LONG), appName_, platform::MessageIcon::Warning);
        return;
    }
    HiddenCommand::Failure failure = running_.Start(platform::SystemFolderFile(CommandProgram(preferred)), built.line);
    if (failure == HiddenCommand::Failure::Process && !command_) {
        // The system's choice is missing (no "msg" on some editions): the other command may be there.
        const MessageCommand other = preferred == MessageCommand::Msg ? MessageCommand::NetSend : MessageCommand::Msg;
        const MessageCommandLine otherLine = BuildMessageCommandLine(other, recipient, sender, message);
        if (otherLine.refusal == CommandRefusal::None) {
            failure = running_.Start(platform::SystemFolderFile(CommandProgram(other)), otherLine.line);
        }
    }
    switch (failure) {
    case HiddenCommand::Failure::Pipe:
        platform::ShowMessage("fail to open pipe\n", appName_, platform::MessageIcon::None);
        return;
    case HiddenCommand::Failure::Process:
        platform::ShowMessage("fail to create process\n", appName_, platform::MessageIcon::None);
        return;
    case HiddenCommand::Failure::None:
        break;
    }
    BeginWaiting();
}

void CSendMsgDlg::BeginWaiting() {
    sending_ = true;
    output_.clear();
    // The message is on its way: it can neither be sent twice nor changed any more.
    if (::GetFocus() == Item(IDOK)) {
        ::SendMessageA(Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDCANCEL)), TRUE);
    }
    ::EnableWindow(Item(IDOK), FALSE);
    ::SendMessageA(Item(IDC_SENDER), EM_SETREADONLY, TRUE, 0);
    ::SendMessageA(Item(IDC_MESSAGE), EM_SETREADONLY, TRUE, 0);
    ShowStatus();
    ::SetTimer(Hwnd(), kOutputTimer, kOutputPollMs, nullptr);
}

void CSendMsgDlg::ShowStatus() {
    const std::optional<std::string> line = LatestOutputLine(output_);
    const std::string status = line ? *line : platform::LoadText(IDS_SENDING_MESSAGE);
    if (ItemText(IDC_SEND_STATUS) != status) {
        SetItemText(IDC_SEND_STATUS, status);
    }
}

void CSendMsgDlg::OnTimer(UINT_PTR id) {
    if (id != kOutputTimer || !sending_) {
        return;
    }
    if (running_.Collect(output_)) {
        ShowStatus();
    } else {
        Finish();
    }
}

void CSendMsgDlg::Finish() {
    ::KillTimer(Hwnd(), kOutputTimer);
    sending_ = false;
    // The bytes as they came; an empty output gives an empty box.
    platform::ShowMessage(output_, appName_, platform::MessageIcon::None);
    ::SendMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void CSendMsgDlg::OnDestroy() {
    ::KillTimer(Hwnd(), kOutputTimer);
    sending_ = false;
    running_.Abandon();
}

bool CSendMsgDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_HELP) {
        return false;
    }
    ShowHelpAt("sendmsg.html", appName_);
    result = TRUE;
    return true;
}

} // namespace glimmerfen::ui
