// The program's command line: which computer to watch, and the switches for installing and removing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glimmerfen {

struct CommandLine {
    bool hasServer = false;
    std::string server;            // from /server:NAME, without leading backslashes; empty: this computer
    bool unregister = false;       // /unregister: remove the event source's registration and end
    bool help = false;             // /? , -h, --help or /help: show the usage and end
    bool installService = false;   // /install-service: register the service of this folder and end
    bool uninstallService = false; // /uninstall-service: stop and remove it, and end
    bool runService = false;       // /service: started by the service manager as that service
    bool quiet = false;            // /quiet: no box at all (for installers and scripts); the exit code tells
    // The switches not understood, as written and in their order. They stop nothing: the program
    // names them once it watches.
    std::vector<std::string> unknownSwitches;
};

// Words are separated by blanks and tabs; a pair of double quotes keeps blanks inside a word. A switch
// starts with "/" or "-" (also "--"), and its name is compared without regard to letter case; a word
// that is no switch is ignored. The bytes of a double-byte character of the ANSI code page are never
// taken as a blank or a quote.
CommandLine ParseCommandLine(std::string_view arguments);

// The part of the process's whole command line after the program's own name. The name is recognised
// whole when the line starts with the module's path or its file name (letter case aside, quoted or
// not, with or without ".exe"): the system hands over a line as written, and a Run key may name a
// path with blanks unquoted. Otherwise the first word (quote-aware) is the program's name.
std::string_view ArgumentsAfterProgram(std::string_view commandLine, std::string_view modulePath);

// The computer to watch as a name the server functions take: leading "\\" removed. Empty stays empty.
std::string WatchedComputerName(std::string_view name);

} // namespace glimmerfen
