// The messages between the service that runs the engine and the tray that shows its table, and their
// encoding on the local pipe. Plain bytes in, plain values out: a decoded string is data only (never a
// path to open, a command to run or a format), and a frame is refused whole, with its reason, when any
// part of it is out of bounds.
//
// Frame: u32 body length, then the body: u16 protocol version, u16 message type, the payload. Integers
// are little-endian; a string is a u16 byte count and its bytes (ANSI code page text, at most
// kMaxFieldBytes); a bool is one byte, 0 or 1; a count of items is a u32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "monitor/AccessTable.h"
#include "monitor/TableRecords.h"
#include "platform/ansitext.h"

namespace glimmerfen::pipe {

inline constexpr std::uint16_t kProtocolVersion = 2;
inline constexpr std::size_t kLengthBytes = 4;
inline constexpr std::size_t kHeaderBytes = kLengthBytes + 4;
// The largest frame (length prefix included) each side accepts: a request is a few names, a reply may
// carry the whole table (10,000 entries of the longest fields take about 31 MiB).
inline constexpr std::size_t kMaxRequestBytes = 64 * 1024;
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024 * 1024;
// Every string field, as the engine keeps its record fields.
inline constexpr std::size_t kMaxStringBytes = kMaxFieldBytes;

enum class MessageType : std::uint16_t {
    // From the tray.
    Hello = 1,
    GetChanges = 2,
    Disconnect = 3,
    CloseFile = 4,
    SettingsChanged = 5,
    // From the service.
    HelloAnswer = 0x81,
    TableDelta = 0x82,
    CommandResult = 0x83,
    Refused = 0x84,
};

// Why a frame was refused.
enum class Refusal : std::uint16_t {
    None = 0,
    Truncated = 1,     // shorter than its header or its length says, or a field runs past the end
    Oversized = 2,     // longer than the side's bound
    UnknownType = 3,   // no message of this type travels this way
    WrongVersion = 4,  // another protocol version
    TrailingBytes = 5, // bytes left after the message's last field
    BadField = 6,      // a string over its bound, a bool neither 0 nor 1, a count that cannot fit
};
// A short English name of the reason, for a diagnostic line.
const char* RefusalName(Refusal reason);

// The entry a command is about, as the list names it: a session row has a client and an empty path; an
// open-file row has the path and the server's file id.
struct EntryIdentity {
    std::string client;
    std::string user;
    std::string path;
    std::uint32_t fileId = 0;
    bool operator==(const EntryIdentity&) const = default;
};

struct Hello {
    bool operator==(const Hello&) const = default;
};
// "Send me the changes since generation G" (0: the tray has nothing yet).
struct GetChanges {
    std::uint64_t generation = 0;
    bool operator==(const GetChanges&) const = default;
};
// Closes the sessions behind the entry, as the list's Disconnect does; log: write the disconnect line
// and its event.
struct Disconnect {
    EntryIdentity entry;
    bool log = true;
    bool operator==(const Disconnect&) const = default;
};
// "Close this file" of an open-file entry.
struct CloseFile {
    EntryIdentity entry;
    bool operator==(const CloseFile&) const = default;
};
// The tray's option sheet wrote the INI file: the service reads it again. No payload.
struct SettingsChanged {
    bool operator==(const SettingsChanged&) const = default;
};
using Request = std::variant<Hello, GetChanges, Disconnect, CloseFile, SettingsChanged>;

// computer: the watched computer's name, empty for this computer.
struct HelloAnswer {
    std::string computer;
    bool operator==(const HelloAnswer&) const = default;
};

// What the tray shows besides the rows. The hit count of the tray's tooltip is entryCount.
struct TableState {
    bool hasTable = false;
    std::int32_t entryCount = 0;
    ServerState server;
    std::uint64_t waitingLines = 0; // lines waiting for the log
    // The sessions the rules closed: the count since the service started and the last few (at most
    // RuleCuts::kKeptCuts, more is a bad field), for the tray's notices.
    RuleCutRecord cuts;
    bool operator==(const TableState&) const = default;
};

// The table's changes since the tray's generation `since`. reset: the tray drops what it has and takes
// `added` as the whole table. added: new entries, newest first, all in front of the entries the tray
// has; changed: entries the tray has whose fields changed (they keep their place); removed: keys that
// left the table. Afterwards the tray is at `generation`.
struct TableDelta {
    std::uint64_t since = 0;
    std::uint64_t generation = 0;
    bool reset = false;
    TableState state;
    std::vector<AccessEntry> added;
    std::vector<AccessEntry> changed;
    std::vector<std::int32_t> removed;
    bool operator==(const TableDelta&) const = default;
};

// The answer to a command: 0 done, 1 the server refused (the log line and the event say why), 2 the
// table does not list the row (it went with a poll: nothing was asked of the server).
struct CommandResult {
    MessageType command = MessageType::Disconnect;
    std::uint32_t code = 0;
    bool operator==(const CommandResult&) const = default;
};

// The service refused the tray's last frame.
struct Refused {
    Refusal reason = Refusal::None;
    bool operator==(const Refused&) const = default;
};
using Reply = std::variant<HelloAnswer, TableDelta, CommandResult, Refused>;

// The frames of a message, length prefix included. A string longer than kMaxStringBytes is cut
// before a double-byte character (the engine's fields never are). Empty when the frame would pass the
// bound of its direction (a table too large for one reply).
std::string EncodeRequest(const Request& request);
std::string EncodeReply(const Reply& reply);

// The body length a frame's first kLengthBytes announce, checked against the bound before anything is
// read or allocated: Oversized when the whole frame would pass maxFrameBytes, Truncated when the
// length cannot hold a header.
struct FrameLength {
    std::size_t bodyBytes = 0;
    Refusal refusal = Refusal::None;
};
FrameLength ReadFrameLength(std::string_view prefix, std::size_t maxFrameBytes);

template <typename Message>
struct Decoded {
    std::optional<Message> message; // set when refusal is None
    Refusal refusal = Refusal::None;
};

// A whole frame, length prefix included. Reply types are unknown to DecodeRequest, request types to
// DecodeReply.
Decoded<Request> DecodeRequest(std::string_view frame);
Decoded<Reply> DecodeReply(std::string_view frame);

} // namespace glimmerfen::pipe
