#include "monitor/pipe/PipeProtocol.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <type_traits>

#include "monitor/RuleCuts.h"

namespace glimmerfen::pipe {
namespace {

// The fewest bytes an entry takes on the wire: its nine strings empty.
constexpr std::size_t kStringsPerEntry = 9;
constexpr std::size_t kIntsPerEntry = 9;
constexpr std::size_t kMinEntryBytes = 4 * kIntsPerEntry + 2 * kStringsPerEntry;

class Writer {
public:
    void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void Bool(bool v) { U8(v ? 1 : 0); }
    void U16(std::uint16_t v) { Little(v); }
    void U32(std::uint32_t v) { Little(v); }
    void U64(std::uint64_t v) { Little(v); }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void Text(const std::string& text) {
        if (text.size() <= kMaxStringBytes) {
            U16(static_cast<std::uint16_t>(text.size()));
            out_.append(text);
            return;
        }
        const std::string cut = TruncateAnsi(text, kMaxStringBytes);
        U16(static_cast<std::uint16_t>(cut.size()));
        out_.append(cut);
    }
    void Count(std::size_t n) { U32(static_cast<std::uint32_t>(std::min<std::size_t>(n, 0xFFFFFFFFu))); }

    void Entry(const AccessEntry& e) {
        I32(e.key);
        Text(e.clientName);
        Text(e.userName);
        I32(e.openCount);
        Text(e.startTimeText);
        I32(e.startTime);
        Text(e.connectedText);
        U32(e.connectedSeconds);
        Text(e.idleText);
        U32(e.idleSeconds);
        Text(e.userIdent);
        Text(e.clientType);
        I32(e.fileId);
        Text(e.operation);
        I32(e.lockCount);
        Text(e.pathName);
        U32(std::bit_cast<std::uint32_t>(e.staleSeconds));
        I32(e.disconnected);
    }
    void Identity(const EntryIdentity& id) {
        Text(id.client);
        Text(id.user);
        Text(id.path);
        U32(id.fileId);
    }

    // The frame of a body written after Begin; empty when it passes maxFrameBytes.
    void Begin(MessageType type) {
        out_.assign(kLengthBytes, '\0');
        U16(kProtocolVersion);
        U16(static_cast<std::uint16_t>(type));
    }
    std::string Finish(std::size_t maxFrameBytes) {
        if (out_.size() > maxFrameBytes) {
            return {};
        }
        const auto body = static_cast<std::uint32_t>(out_.size() - kLengthBytes);
        for (std::size_t i = 0; i < kLengthBytes; ++i) {
            out_[i] = static_cast<char>((body >> (8 * i)) & 0xFF);
        }
        return std::move(out_);
    }

private:
    template <typename T>
    void Little(T v) {
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    }
    std::string out_;
};

// Reads fields off a body. The first fault sticks: every later read gives a zero value, and the
// decoder looks at the fault once at the end.
class Reader {
public:
    explicit Reader(std::string_view body) : body_(body) {}

    Refusal Fault() const { return fault_; }
    void Fail(Refusal reason) {
        if (fault_ == Refusal::None) {
            fault_ = reason;
        }
    }
    std::size_t Left() const { return fault_ == Refusal::None ? body_.size() - pos_ : 0; }
    // Trailing bytes are a fault of their own.
    Refusal End() {
        if (fault_ == Refusal::None && pos_ != body_.size()) {
            fault_ = Refusal::TrailingBytes;
        }
        return fault_;
    }

    std::uint8_t U8() { return Little<std::uint8_t>(); }
    std::uint16_t U16() { return Little<std::uint16_t>(); }
    std::uint32_t U32() { return Little<std::uint32_t>(); }
    std::uint64_t U64() { return Little<std::uint64_t>(); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    bool Bool() {
        const std::uint8_t v = U8();
        if (v > 1) {
            Fail(Refusal::BadField);
        }
        return v == 1;
    }
    void Text(std::string& out) {
        const std::size_t n = U16();
        if (n > kMaxStringBytes) {
            Fail(Refusal::BadField);
            return;
        }
        if (!Take(n)) {
            return;
        }
        out.assign(body_.substr(pos_ - n, n));
    }
    // A count of items of at least minItemBytes each: one that the bytes left cannot hold is refused
    // before anything is allocated for it.
    std::size_t Count(std::size_t minItemBytes) {
        const std::size_t n = U32();
        if (Left() / minItemBytes < n) {
            Fail(Refusal::Truncated);
            return 0;
        }
        return n;
    }

    void Entry(AccessEntry& e) {
        e.key = I32();
        Text(e.clientName);
        Text(e.userName);
        e.openCount = I32();
        Text(e.startTimeText);
        e.startTime = I32();
        Text(e.connectedText);
        e.connectedSeconds = U32();
        Text(e.idleText);
        e.idleSeconds = U32();
        Text(e.userIdent);
        Text(e.clientType);
        e.fileId = I32();
        Text(e.operation);
        e.lockCount = I32();
        Text(e.pathName);
        e.staleSeconds = std::bit_cast<float>(U32());
        e.disconnected = I32();
    }
    void Entries(std::vector<AccessEntry>& out) {
        const std::size_t n = Count(kMinEntryBytes);
        out.resize(n);
        for (AccessEntry& e : out) {
            Entry(e);
        }
    }
    void Identity(EntryIdentity& id) {
        Text(id.client);
        Text(id.user);
        Text(id.path);
        id.fileId = U32();
    }

private:
    bool Take(std::size_t n) {
        if (fault_ != Refusal::None) {
            return false;
        }
        if (body_.size() - pos_ < n) {
            fault_ = Refusal::Truncated;
            return false;
        }
        pos_ += n;
        return true;
    }
    template <typename T>
    T Little() {
        if (!Take(sizeof(T))) {
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            v |= std::uint64_t{static_cast<unsigned char>(body_[pos_ - sizeof(T) + i])} << (8 * i);
        }
        return static_cast<T>(v);
    }

    std::string_view body_;
    std::size_t pos_ = 0;
    Refusal fault_ = Refusal::None;
};

void WriteState(Writer& w, const TableState& s) {
    w.Bool(s.hasTable);
    w.I32(s.entryCount);
    w.U32(s.server.code);
    w.Bool(s.server.files);
    w.U64(s.waitingLines);
    w.U64(s.cuts.total);
    w.Count(s.cuts.recent.size());
    for (const RuleCut& cut : s.cuts.recent) {
        w.Text(cut.client);
        w.Text(cut.user);
        w.Text(cut.rule);
    }
}

void ReadState(Reader& r, TableState& s) {
    s.hasTable = r.Bool();
    s.entryCount = r.I32();
    s.server.code = r.U32();
    s.server.files = r.Bool();
    s.waitingLines = r.U64();
    s.cuts.total = r.U64();
    const std::size_t cuts = r.Count(3 * 2);
    if (cuts > RuleCuts::kKeptCuts) {
        r.Fail(Refusal::BadField);
        return;
    }
    s.cuts.recent.resize(cuts);
    for (RuleCut& cut : s.cuts.recent) {
        r.Text(cut.client);
        r.Text(cut.user);
        r.Text(cut.rule);
    }
}

// The body of a frame whose length prefix and header were checked, and the type it names; refusal set
// otherwise.
struct Body {
    std::string_view payload;
    std::uint16_t type = 0;
    Refusal refusal = Refusal::None;
};

Body OpenFrame(std::string_view frame, std::size_t maxFrameBytes) {
    Body body;
    if (frame.size() > maxFrameBytes) {
        body.refusal = Refusal::Oversized;
        return body;
    }
    if (frame.size() < kLengthBytes) {
        body.refusal = Refusal::Truncated;
        return body;
    }
    const FrameLength length = ReadFrameLength(frame.substr(0, kLengthBytes), maxFrameBytes);
    if (length.refusal != Refusal::None) {
        body.refusal = length.refusal;
        return body;
    }
    const std::string_view rest = frame.substr(kLengthBytes);
    if (rest.size() < length.bodyBytes) {
        body.refusal = Refusal::Truncated;
        return body;
    }
    if (rest.size() > length.bodyBytes) {
        body.refusal = Refusal::TrailingBytes;
        return body;
    }
    Reader header(rest.substr(0, kHeaderBytes - kLengthBytes));
    const std::uint16_t version = header.U16();
    body.type = header.U16();
    if (version != kProtocolVersion) {
        body.refusal = Refusal::WrongVersion;
        return body;
    }
    body.payload = rest.substr(kHeaderBytes - kLengthBytes);
    return body;
}

template <typename Message, typename Variant>
Decoded<Variant> Finish(Reader& r, Message message) {
    Decoded<Variant> result;
    result.refusal = r.End();
    if (result.refusal == Refusal::None) {
        result.message.emplace(std::move(message));
    }
    return result;
}

} // namespace

const char* RefusalName(Refusal reason) {
    switch (reason) {
    case Refusal::None:
        return "none";
    case Refusal::Truncated:
        return "truncated";
    case Refusal::Oversized:
        return "oversized";
    case Refusal::UnknownType:
        return "unknown type";
    case Refusal::WrongVersion:
        return "wrong version";
    case Refusal::TrailingBytes:
        return "trailing bytes";
    case Refusal::BadField:
        return "bad field";
    }
    return "unknown reason";
}

std::string EncodeRequest(const Request& request) {
    Writer w;
    std::visit(
        [&](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, Hello>) {
                w.Begin(MessageType::Hello);
            } else if constexpr (std::is_same_v<T, GetChanges>) {
                w.Begin(MessageType::GetChanges);
                w.U64(m.generation);
            } else if constexpr (std::is_same_v<T, Disconnect>) {
                w.Begin(MessageType::Disconnect);
                w.Identity(m.entry);
                w.Bool(m.log);
            } else if constexpr (std::is_same_v<T, CloseFile>) {
                w.Begin(MessageType::CloseFile);
                w.Identity(m.entry);
            } else {
                static_assert(std::is_same_v<T, SettingsChanged>);
                w.Begin(MessageType::SettingsChanged);
            }
        },
        request);
    return w.Finish(kMaxRequestBytes);
}

std::string EncodeReply(const Reply& reply) {
    Writer w;
    std::visit(
        [&](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, HelloAnswer>) {
                w.Begin(MessageType::HelloAnswer);
                w.Text(m.computer);
            } else if constexpr (std::is_same_v<T, TableDelta>) {
                w.Begin(MessageType::TableDelta);
                w.U64(m.since);
                w.U64(m.generation);
                w.Bool(m.reset);
                WriteState(w, m.state);
                for (const std::vector<AccessEntry>* list : {&m.added, &m.changed}) {
                    w.Count(list->size());
                    for (const AccessEntry& e : *list) {
                        w.Entry(e);
                    }
                }
                w.Count(m.removed.size());
                for (const std::int32_t key : m.removed) {
                    w.I32(key);
                }
            } else if constexpr (std::is_same_v<T, CommandResult>) {
                w.Begin(MessageType::CommandResult);
                w.U16(static_cast<std::uint16_t>(m.command));
                w.U32(m.code);
            } else {
                static_assert(std::is_same_v<T, Refused>);
                w.Begin(MessageType::Refused);
                w.U16(static_cast<std::uint16_t>(m.reason));
            }
        },
        reply);
    return w.Finish(kMaxReplyBytes);
}

FrameLength ReadFrameLength(std::string_view prefix, std::size_t maxFrameBytes) {
    FrameLength length;
    if (prefix.size() < kLengthBytes) {
        length.refusal = Refusal::Truncated;
        return length;
    }
    Reader r(prefix.substr(0, kLengthBytes));
    const std::uint32_t body = r.U32();
    if (body > maxFrameBytes - kLengthBytes) {
        length.refusal = Refusal::Oversized;
    } else if (body < kHeaderBytes - kLengthBytes) {
        length.refusal = Refusal::Truncated;
    } else {
        length.bodyBytes = body;
    }
    return length;
}

Decoded<Request> DecodeRequest(std::string_view frame) {
    const Body body = OpenFrame(frame, kMaxRequestBytes);
    if (body.refusal != Refusal::None) {
        return {std::nullopt, body.refusal};
    }
    Reader r(body.payload);
    switch (static_cast<MessageType>(body.type)) {
    case MessageType::Hello:
        return Finish<Hello, Request>(r, Hello{});
    case MessageType::GetChanges: {
        GetChanges m;
        m.generation = r.U64();
        return Finish<GetChanges, Request>(r, m);
    }
    case MessageType::Disconnect: {
        Disconnect m;
        r.Identity(m.entry);
        m.log = r.Bool();
        return Finish<Disconnect, Request>(r, std::move(m));
    }
    case MessageType::CloseFile: {
        CloseFile m;
        r.Identity(m.entry);
        return Finish<CloseFile, Request>(r, std::move(m));
    }
    case MessageType::SettingsChanged:
        return Finish<SettingsChanged, Request>(r, SettingsChanged{});
    default:
        return {std::nullopt, Refusal::UnknownType};
    }
}

Decoded<Reply> DecodeReply(std::string_view frame) {
    const Body body = OpenFrame(frame, kMaxReplyBytes);
    if (body.refusal != Refusal::None) {
        return {std::nullopt, body.refusal};
    }
    Reader r(body.payload);
    switch (static_cast<MessageType>(body.type)) {
    case MessageType::HelloAnswer: {
        HelloAnswer m;
        r.Text(m.computer);
        return Finish<HelloAnswer, Reply>(r, std::move(m));
    }
    case MessageType::TableDelta: {
        TableDelta m;
        m.since = r.U64();
        m.generation = r.U64();
        m.reset = r.Bool();
        ReadState(r, m.state);
        r.Entries(m.added);
        r.Entries(m.changed);
        m.removed.resize(r.Count(4));
        for (std::int32_t& key : m.removed) {
            key = r.I32();
        }
        return Finish<TableDelta, Reply>(r, std::move(m));
    }
    case MessageType::CommandResult: {
        CommandResult m;
        const auto command = static_cast<MessageType>(r.U16());
        if (command != MessageType::Disconnect && command != MessageType::CloseFile) {
            r.Fail(Refusal::BadField);
        }
        m.command = command;
        m.code = r.U32();
        return Finish<CommandResult, Reply>(r, m);
    }
    case MessageType::Refused: {
        Refused m;
        const std::uint16_t reason = r.U16();
        if (reason == 0 || reason > static_cast<std::uint16_t>(Refusal::BadField)) {
            r.Fail(Refusal::BadField);
        }
        m.reason = static_cast<Refusal>(reason);
        return Finish<Refused, Reply>(r, m);
    }
    default:
        return {std::nullopt, Refusal::UnknownType};
    }
}

} // namespace glimmerfen::pipe
