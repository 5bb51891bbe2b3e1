#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

#include "platform/ansitext.h"
#include "platform/netnames.h"

namespace glimmerfen {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Bytes of the character at text[i]: two for a whole double-byte character, whose trail byte may look
// like "\" or a letter but is neither.
std::size_t CharacterLength(std::string_view text, std::size_t i) {
    return platform::IsDoubleByteAt(text, i) ? 2 : 1;
}

std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = CharacterLength(text, i);
        const char c = text[i];
        if (length == 1 && c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (length == 1 && !quoted && IsBlank(c)) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word.append(text.substr(i, length));
            inWord = true;
        }
        i += length;
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Whether the text starts with the prefix, letter case aside, the prefix ending between two characters
// of the text (never inside a double-byte one).
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.empty() || prefix.size() > text.size()) {
        return false;
    }
    std::size_t i = 0;
    while (i < prefix.size()) {
        i += CharacterLength(text, i);
    }
    return i == prefix.size() && AnsiEqualNoCase(text.substr(0, i), prefix);
}

// The spellings of the program's name that a command line may start with, longest first: the whole
// path and the file name, each with and without ".exe".
std::vector<std::string_view> ProgramSpellings(std::string_view modulePath) {
    std::vector<std::string_view> spellings;
    for (const std::string_view name : {modulePath, modulePath.substr(AnsiFileNameStart(modulePath))}) {
        if (name.empty()) {
            continue;
        }
        spellings.push_back(name);
        if (name.size() > 4 && SameWord(name.substr(name.size() - 4), ".exe")) {
            spellings.push_back(name.substr(0, name.size() - 4));
        }
    }
    std::stable_sort(spellings.begin(), spellings.end(),
                     [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
    return spellings;
}

} // namespace

std::string WatchedComputerName(std::string_view name) {
    while (!name.empty() && name.front() == '\\') {
        name.remove_prefix(1);
    }
    return std::string(name);
}

std::string_view ArgumentsAfterProgram(std::string_view commandLine, std::string_view modulePath) {
    std::string_view line = commandLine;
    while (!line.empty() && IsBlank(line.front())) {
        line.remove_prefix(1);
    }
    const bool quoted = !line.empty() && line.front() == '"';
    const std::string_view name = quoted ? line.substr(1) : line;
    for (const std::string_view spelling : ProgramSpellings(modulePath)) {
        if (!StartsWithNoCase(name, spelling)) {
            continue;
        }
        const std::string_view after = name.substr(spelling.size());
        if (quoted && !after.empty() && after.front() == '"') {
            return after.substr(1);
        }
        if (!quoted && (after.empty() || IsBlank(after.front()))) {
            return after;
        }
    }
    // Some other spelling (a relative path, a short name): the first word, whose quotes may keep
    // blanks inside it.
    bool inQuotes = false;
    std::size_t i = 0;
    while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
        if (line[i] == '"') {
            inQuotes = !inQuotes;
        }
        i += CharacterLength(line, i);
    }
    return line.substr(std::min(i, line.size()));
}

CommandLine ParseCommandLine(std::string_view arguments) {
    CommandLine result;
    for (const std::string& word : SplitWords(arguments)) {
        std::string_view rest = word;
        if (rest.size() >= 2 && rest.substr(0, 2) == "--") {
            rest.remove_prefix(2);
        } else if (!rest.empty() && (rest.front() == '/' || rest.front() == '-')) {
            rest.remove_prefix(1);
        } else {
            continue; // no switch: nothing the program takes from its command line
        }
        const std::size_t colon = rest.find_first_of(":=");
        const std::string_view name = rest.substr(0, colon);
        if (SameWord(name, "server") && colon != std::string_view::npos) {
            result.hasServer = true;
            result.server = WatchedComputerName(rest.substr(colon + 1));
        } else if (SameWord(rest, "unregister")) {
            result.unregister = true;
        } else if (SameWord(rest, "install-service")) {
            result.installService = true;
        } else if (SameWord(rest, "uninstall-service")) {
            result.uninstallService = true;
        } else if (SameWord(rest, "service")) {
            result.runService = true;
        } else if (SameWord(rest, "quiet")) {
            result.quiet = true;
        } else if (SameWord(rest, "?") || SameWord(rest, "h") || SameWord(rest, "help")) {
            result.help = true;
        } else {
            result.unknownSwitches.push_back(word);
        }
    }
    return result;
}

} // namespace glimmerfen
