// The send-message dialog (dialog 140): sends a short text to the computer of a row of the access
// list through the system's messaging command, run hidden, and shows what the command printed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/handles.h"
#include "ui/dialogs/SendMessageLogic.h"
#include "ui/framework/Dialog.h"

namespace glimmerfen::ui {

// A command line run hidden at idle priority, its standard output and standard error going into one
// pipe. The output is collected without waiting, so the thread that runs a window can poll it from a
// timer and stay responsive however long the command takes (a message to an absent computer waits
// tens of seconds for the network).
class HiddenCommand {
public:
    enum class Failure { None, Pipe, Process };

    HiddenCommand() = default;
    // Abandons a command still running.
    ~HiddenCommand() { Abandon(); }
    HiddenCommand(const HiddenCommand&) = delete;
    HiddenCommand& operator=(const HiddenCommand&) = delete;

    // Starts the program, given by its full path, with the command line (after abandoning one still
    // running). The path is never looked for: Failure::Process when no such file can run.
    Failure Start(const std::string& program, const std::string& commandLine);
    // Appends to `output` what the command printed since the last call, without waiting. False once
    // the output has ended: the command and everything that inherited the pipe have ended, and the
    // pipe is released.
    bool Collect(std::string& output);
    // Stops waiting for the command: ends it if it still runs and releases the pipe and the process.
    void Abandon() noexcept;

private:
    win32::UniqueHandle readEnd_;
    win32::UniqueHandle process_;
};

// The messaging command of the running system.
MessageCommand SystemMessageCommand();

class CSendMsgDlg : public Dialog {
public:
    // appName is the caption of the dialog's message boxes.
    explicit CSendMsgDlg(std::string appName);

    // Set by the opener before the run; `sender` holds the edit's text after a Transmission.
    std::string recipient;
    std::string sender;
    std::string message;

    // The command to use instead of the system's choice (tests).
    void SetCommand(std::optional<MessageCommand> command) { command_ = command; }

protected:
    bool OnInitDialog() override;
    // "Transmission" (also Enter outside the message edit); nothing while a message is on its way.
    void OnOK() override;
    // Polls the running command's output.
    void OnTimer(UINT_PTR id) override;
    // However the dialog ends, a command still running is abandoned with it.
    void OnDestroy() override;
    // F1: the manual's page of this dialog.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void SendNetMessage();
    // The command started: the dialog waits for its output, Transmission and the texts locked.
    void BeginWaiting();
    void ShowStatus();
    // The output has ended: shows it and ends the dialog as Cancel does.
    void Finish();

    std::string appName_;
    std::optional<MessageCommand> command_;
    HiddenCommand running_;
    bool sending_ = false;
    std::string output_; // what the running command printed so far
};

} // namespace glimmerfen::ui
