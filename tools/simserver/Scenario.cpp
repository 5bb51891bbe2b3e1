// Parser of the scenario file.
#include "Scenario.h"

#include <algorithm>
#include <cwchar>

namespace glimmerfen::sim {
namespace {

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r';
}

// Reads the words of one line. A word in double quotes may hold blanks or be empty; the unquoted word
// (null) stands for a null string.
class LineReader {
public:
    explicit LineReader(std::wstring_view line) : rest_(line) {}

    bool AtEnd() {
        SkipBlanks();
        return rest_.empty();
    }

    // The next word, or nothing when the line has ended or a quote is not closed.
    std::optional<Field> NextField() {
        SkipBlanks();
        if (rest_.empty()) {
            return std::nullopt;
        }
        if (rest_.front() == L'"') {
            const std::size_t close = rest_.find(L'"', 1);
            if (close == std::wstring_view::npos) {
                return std::nullopt;
            }
            Field word = std::wstring(rest_.substr(1, close - 1));
            rest_.remove_prefix(close + 1);
            return word;
        }
        std::size_t end = 0;
        while (end < rest_.size() && !IsBlank(rest_[end])) {
            ++end;
        }
        const std::wstring_view word = rest_.substr(0, end);
        rest_.remove_prefix(end);
        if (word == L"(null)") {
            return Field();
        }
        return Field(std::wstring(word));
    }

    std::optional<std::wstring> NextWord() {
        std::optional<Field> field = NextField();
        if (!field || !field->has_value()) {
            return std::nullopt;
        }
        return **field;
    }

    std::optional<DWORD> NextNumber() {
        const std::optional<std::wstring> word = NextWord();
        if (!word || word->empty() || word->size() > 10) {
            return std::nullopt;
        }
        unsigned long long value = 0;
        for (wchar_t c : *word) {
            if (c < L'0' || c > L'9') {
                return std::nullopt;
            }
            value = value * 10 + static_cast<unsigned>(c - L'0');
        }
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
        return static_cast<DWORD>(value);
    }

    // The rest of the line without surrounding blanks: a text that may hold blanks. Quotes around it
    // keep its blanks; (null) is a null string.
    Field Remainder() {
        SkipBlanks();
        std::wstring_view text = rest_;
        while (!text.empty() && IsBlank(text.back())) {
            text.remove_suffix(1);
        }
        rest_ = std::wstring_view();
        if (text == L"(null)") {
            return Field();
        }
        if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
            text = text.substr(1, text.size() - 2);
        }
        return std::wstring(text);
    }

private:
    void SkipBlanks() {
        while (!rest_.empty() && IsBlank(rest_.front())) {
            rest_.remove_prefix(1);
        }
    }

    std::wstring_view rest_;
};

bool ParseSession(LineReader& reader, SessionLine& line) {
    std::optional<Field> client = reader.NextField();
    std::optional<Field> user = reader.NextField();
    std::optional<DWORD> connected = reader.NextNumber();
    std::optional<DWORD> idle = reader.NextNumber();
    std::optional<DWORD> flags = reader.NextNumber();
    if (!client || !user || !connected || !idle || !flags) {
        return false;
    }
    line.client = *client;
    line.user = *user;
    line.connectedSeconds = *connected;
    line.idleSeconds = *idle;
    line.userFlags = *flags;
    line.clientType = reader.Remainder();
    return true;
}

bool ParseFile(LineReader& reader, FileLine& line) {
    std::optional<Field> user = reader.NextField();
    std::optional<DWORD> id = reader.NextNumber();
    std::optional<DWORD> permissions = reader.NextNumber();
    std::optional<DWORD> locks = reader.NextNumber();
    if (!user || !id || !permissions || !locks || reader.AtEnd()) {
        return false;
    }
    line.user = *user;
    line.id = *id;
    line.permissions = *permissions;
    line.locks = *locks;
    line.path = reader.Remainder();
    return true;
}

// "fail <sessions|files> round <k> code <c>" or "fail delete code <c>".
bool ParseFailure(LineReader& reader, Scenario& scenario) {
    const std::optional<std::wstring> what = reader.NextWord();
    if (!what) {
        return false;
    }
    if (*what == L"delete") {
        const std::optional<std::wstring> codeWord = reader.NextWord();
        const std::optional<DWORD> code = reader.NextNumber();
        if (codeWord != L"code" || !code || !reader.AtEnd()) {
            return false;
        }
        scenario.deleteFailure = *code;
        return true;
    }
    if (*what != L"sessions" && *what != L"files") {
        return false;
    }
    const std::optional<std::wstring> roundWord = reader.NextWord();
    const std::optional<DWORD> round = reader.NextNumber();
    const std::optional<std::wstring> codeWord = reader.NextWord();
    const std::optional<DWORD> code = reader.NextNumber();
    if (roundWord != L"round" || !round || *round == 0 || codeWord != L"code" || !code || !reader.AtEnd()) {
        return false;
    }
    (*what == L"sessions" ? scenario.sessionFailures : scenario.fileFailures).push_back(FailRule{*round, *code});
    return true;
}

// "page <n>", "page sessions <n>" or "page files <n>".
bool ParsePage(LineReader& reader, Scenario& scenario) {
    const std::optional<Field> first = reader.NextField();
    if (!first || !first->has_value()) {
        return false;
    }
    LineReader numberReader(**first);
    if (std::optional<DWORD> both = numberReader.NextNumber()) {
        scenario.sessionPage = *both;
        scenario.filePage = *both;
        return reader.AtEnd();
    }
    const std::optional<DWORD> count = reader.NextNumber();
    if (!count || !reader.AtEnd()) {
        return false;
    }
    if (**first == L"sessions") {
        scenario.sessionPage = *count;
    } else if (**first == L"files") {
        scenario.filePage = *count;
    } else {
        return false;
    }
    return true;
}

// "<code>" (not 0) or "off" (0), the last word of the line.
bool ParseCodeOrOff(LineReader& reader, DWORD& code) {
    const std::optional<std::wstring> word = reader.NextWord();
    if (!word || !reader.AtEnd()) {
        return false;
    }
    code = 0;
    if (*word != L"off") {
        wchar_t* end = nullptr;
        const unsigned long value = std::wcstoul(word->c_str(), &end, 10);
        if (word->empty() || *end != L'\0' || value == 0) {
            return false;
        }
        code = static_cast<DWORD>(value);
    }
    return true;
}

bool ParseLine(std::wstring_view line, std::uint64_t& atMs, Scenario& scenario) {
    LineReader reader(line);
    const std::optional<std::wstring> command = reader.NextWord();
    if (!command) {
        return false;
    }
    Step step;
    step.atMs = atMs;
    if (*command == L"at") {
        const std::optional<DWORD> ms = reader.NextNumber();
        if (!ms || !reader.AtEnd()) {
            return false;
        }
        atMs = *ms;
        return true;
    }
    if (*command == L"page") {
        return ParsePage(reader, scenario);
    }
    if (*command == L"fail") {
        LineReader allReader = reader;
        if (allReader.NextWord() == L"all") {
            // fail all <code> | fail all off: a timed step, unlike the other "fail" directives.
            step.kind = StepKind::FailAll;
            if (!ParseCodeOrOff(allReader, step.file.id)) {
                return false;
            }
            scenario.steps.push_back(std::move(step));
            return true;
        }
        return ParseFailure(reader, scenario);
    }
    if (*command == L"session") {
        step.kind = StepKind::AddSession;
        if (!ParseSession(reader, step.session)) {
            return false;
        }
    } else if (*command == L"file") {
        step.kind = StepKind::AddFile;
        if (!ParseFile(reader, step.file)) {
            return false;
        }
    } else if (*command == L"end") {
        step.kind = StepKind::EndSession;
        const std::optional<std::wstring> what = reader.NextWord();
        if (what == L"all" && reader.AtEnd()) {
            step.kind = StepKind::EndAll;
            scenario.steps.push_back(std::move(step));
            return true;
        }
        std::optional<Field> client = reader.NextField();
        std::optional<Field> user = reader.NextField();
        if (what != L"session" || !client || !user || !reader.AtEnd()) {
            return false;
        }
        step.session.client = *client;
        step.session.user = *user;
    } else if (*command == L"deny") {
        // deny sessions <code> | deny sessions off
        step.kind = StepKind::DenySessions;
        const std::optional<std::wstring> what = reader.NextWord();
        if (what != L"sessions") {
            return false;
        }
        if (!ParseCodeOrOff(reader, step.file.id)) {
            return false;
        }
    } else if (*command == L"delay") {
        // delay <ms>: every call from here on waits that long (0: no longer)
        step.kind = StepKind::Delay;
        const std::optional<DWORD> ms = reader.NextNumber();
        if (!ms || !reader.AtEnd()) {
            return false;
        }
        step.file.id = *ms;
    } else if (*command == L"close") {
        step.kind = StepKind::CloseFile;
        const std::optional<std::wstring> what = reader.NextWord();
        const std::optional<DWORD> id = reader.NextNumber();
        if (what != L"file" || !id || !reader.AtEnd()) {
            return false;
        }
        step.file.id = *id;
    } else {
        return false;
    }
    scenario.steps.push_back(std::move(step));
    return true;
}

} // namespace

Scenario ParseScenario(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
        utf8.remove_prefix(3);
    }
    const std::wstring text = Utf8ToWide(utf8);
    Scenario scenario;
    std::uint64_t atMs = 0;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        ++lineNumber;
        std::wstring_view line(text.data() + start, end - start);
        while (!line.empty() && IsBlank(line.front())) {
            line.remove_prefix(1);
        }
        while (!line.empty() && IsBlank(line.back())) {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.front() != L'#' && !ParseLine(line, atMs, scenario) && scenario.firstBadLine == 0) {
            scenario.firstBadLine = lineNumber;
        }
        start = end + 1;
    }
    std::stable_sort(scenario.steps.begin(), scenario.steps.end(),
                     [](const Step& a, const Step& b) { return a.atMs < b.atMs; });
    return scenario;
}

} // namespace glimmerfen::sim
