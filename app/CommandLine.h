// The program's command line: which computer to watch, and the switches for installing and removing.
#pragma once

#include <string>
#include <string_view>

namespace glimmerfen {

struct CommandLine {
    bool hasServer = false;
    std::string server;      // from /server:NAME, without leading backslashes; empty: this computer
    bool unregister = false; // /unregister: remove the event source's registration and end
    bool help = false;       // /? , -h, --help or /help: show the usage and end
    std::string error;       // the first word that could not be understood; then nothing else counts
};

// Words are separated by blanks and tabs; a pair of double quotes keeps blanks inside a word. A switch
// may start with "/" or "-" (also "--"), and its name is compared without regard to letter case.
CommandLine ParseCommandLine(std::string_view arguments);

// The computer to watch as a name the server functions take: leading "\\" removed. Empty stays empty.
std::string WatchedComputerName(std::string_view name);

} // namespace glimmerfen
