#include "ui/dialogs/SendMsgDlg.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "platform/notify.h"
#include "platform/strings.h"
#include "platform/win32/handles.h"
#include "resource.h"

namespace glimmerfen::ui {

namespace {

// The child's output comes in chunks of at most this many bytes.
constexpr DWORD kReadChunk = 511;

// Starts the command line hidden, at idle priority, printing into `output`. False when it cannot run.
bool StartHidden(const std::string& commandLine, HANDLE output) {
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
    // No application name: the system's search finds the program, in this program's folder first.
    if (!::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, IDLE_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace

CommandOutput RunHiddenCommand(const std::string& commandLine) {
    CommandOutput result;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!::CreatePipe(&readRaw, &writeRaw, &inheritable, 0)) {
        result.failure = CommandOutput::Failure::Pipe;
        return result;
    }
    win32::UniqueHandle readEnd(readRaw);
    win32::UniqueHandle writeEnd(writeRaw);
    // Only the write end goes to the child.
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    if (!StartHidden(commandLine, writeEnd.get())) {
        result.failure = CommandOutput::Failure::Process;
        return result;
    }
    // Our copy of the write end goes, so that the read fails once the child has ended.
    writeEnd.reset();
    char chunk[kReadChunk];
    DWORD got = 0;
    while (::ReadFile(readEnd.get(), chunk, kReadChunk, &got, nullptr) && got > 0) {
        result.text.append(chunk, got);
    }
    return result;
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
    // The focus goes to the first control in tab order, "Transmission".
    return true;
}

void CSendMsgDlg::OnOK() {
    SendNetMessage();
}

void CSendMsgDlg::SendNetMessage() {
    recipient = ItemText(IDC_RECIPIENT);
    sender = ItemText(IDC_SENDER);
    message = ItemText(IDC_MESSAGE);
    const MessageCommand preferred = command_.value_or(SystemMessageCommand());
    const auto commandLine = BuildMessageCommandLine(preferred, recipient, sender, message);
    if (!commandLine) {
        // Refused whole rather than cut: a message cut short is not the one the user wrote.
        platform::ShowMessage(platform::LoadText(IDS_MESSAGE_TOO_LONG), appName_, platform::MessageIcon::Warning);
        return;
    }
    CommandOutput output = RunHiddenCommand(*commandLine);
    if (output.failure == CommandOutput::Failure::Process && !command_) {
        // The system's choice is missing (no "msg" on some editions): the other command may be there.
        const MessageCommand other = preferred == MessageCommand::Msg ? MessageCommand::NetSend : MessageCommand::Msg;
        if (const auto otherLine = BuildMessageCommandLine(other, recipient, sender, message)) {
            output = RunHiddenCommand(*otherLine);
        }
    }
    switch (output.failure) {
    case CommandOutput::Failure::Pipe:
        platform::ShowMessage("fail to open pipe\n", appName_, platform::MessageIcon::None);
        return;
    case CommandOutput::Failure::Process:
        platform::ShowMessage("fail to create process\n", appName_, platform::MessageIcon::None);
        return;
    case CommandOutput::Failure::None:
        break;
    }
    // The bytes as they came; an empty output gives an empty box.
    platform::ShowMessage(output.text, appName_, platform::MessageIcon::None);
    ::SendMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

} // namespace glimmerfen::ui
