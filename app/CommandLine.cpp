#include "app/CommandLine.h"

#include <cctype>
#include <vector>

namespace glimmerfen {
namespace {

std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
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

} // namespace

std::string WatchedComputerName(std::string_view name) {
    while (!name.empty() && name.front() == '\\') {
        name.remove_prefix(1);
    }
    return std::string(name);
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
            result.error = word;
            return result;
        }
        const std::size_t colon = rest.find_first_of(":=");
        const std::string_view name = rest.substr(0, colon);
        if (SameWord(name, "server") && colon != std::string_view::npos) {
            result.hasServer = true;
            result.server = WatchedComputerName(rest.substr(colon + 1));
        } else if (SameWord(rest, "unregister")) {
            result.unregister = true;
        } else if (SameWord(rest, "?") || SameWord(rest, "h") || SameWord(rest, "help")) {
            result.help = true;
        } else {
            result.error = word;
            return result;
        }
    }
    return result;
}

} // namespace glimmerfen
