// The send-message dialog (dialog 140): sends a short text to the computer of a row of the access
// list through the system's messaging command, run hidden, and shows what the command printed.
#pragma once

#include <optional>
#include <string>

#include "ui/dialogs/SendMessageLogic.h"
#include "ui/framework/Dialog.h"

namespace glimmerfen::ui {

// What a hidden child printed, or why it could not run.
struct CommandOutput {
    enum class Failure { None, Pipe, Process };
    Failure failure = Failure::None;
    std::string text;
};

// Runs the command line hidden at idle priority, its standard output and standard error into one
// pipe, and collects everything it prints until it ends.
CommandOutput RunHiddenCommand(const std::string& commandLine);

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
    // "Transmission" (also Enter outside the message edit).
    void OnOK() override;

private:
    void SendNetMessage();

    std::string appName_;
    std::optional<MessageCommand> command_;
};

} // namespace glimmerfen::ui
