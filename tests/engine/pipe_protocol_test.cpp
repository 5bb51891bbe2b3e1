// The pipe between the service and the tray: every message's frame, the refusals of bad frames, and
// the table carried as deltas into the tray's mirror.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/codepage_fixture.h"
#include "monitor/AccessTable.h"
#include "monitor/RuleCuts.h"
#include "monitor/pipe/PipeProtocol.h"
#include "monitor/pipe/TableDelta.h"

namespace glimmerfen::pipe {
namespace {

AccessEntry Entry(std::int32_t key, std::string client, std::string path) {
    AccessEntry e;
    e.key = key;
    e.clientName = std::move(client);
    e.userName = "\x83\x5E\x83\x8D\x83\x45"; // double-byte (code page 932) user name
    e.openCount = 3;
    e.startTimeText = "2026-12-07 09:00:00";
    e.startTime = -5;
    e.connectedText = "01:02:03";
    e.connectedSeconds = 3723;
    e.idleText = "00:00:01";
    e.idleSeconds = 0xFFFFFFFFu;
    e.userIdent = "GUEST";
    e.clientType = "Windows 10 Pro";
    e.fileId = -7;
    e.operation = "FILE READ";
    e.lockCount = 2;
    e.pathName = std::move(path);
    e.staleSeconds = 1.5f;
    e.disconnected = 1;
    return e;
}

void PutU32(std::string& frame, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        frame[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

struct Case {
    const char* name;
    bool request;
    Request req;
    Reply rep;
};

TEST(PipeProtocol, EveryMessageRoundTripsAndEveryDamagedFrameIsRefused) {
    TableDelta delta;
    delta.since = 41;
    delta.generation = 0x0102030405060708ull;
    delta.state = {true, 2, {5, true}, 9, {}};
    delta.state.cuts = {12, {{"PC1", "bob", "Denied PC"}, {"", "\x83\x5C", std::string(kMaxStringBytes, 'r')}}};
    delta.added = {Entry(7, "PC7", ""), AccessEntry{}};
    delta.changed = {Entry(-3, "", std::string(kMaxStringBytes, 'p'))};
    delta.removed = {1, -2, 0x7FFFFFFF};
    const EntryIdentity file{"PC1", "bob", "C:\\share\\a.txt", 0xFFFFFFF0u};
    const std::vector<Case> cases = {
        {"hello", true, Hello{}, {}},
        {"get changes", true, GetChanges{0xFEDCBA9876543210ull}, {}},
        {"disconnect session", true, Disconnect{{"PC1", "bob", "", 0}, true}, {}},
        {"disconnect file, no log", true, Disconnect{file, false}, {}},
        {"close file", true, CloseFile{file}, {}},
        {"settings changed", true, SettingsChanged{}, {}},
        {"hello answer", false, {}, HelloAnswer{"FILESRV"}},
        {"delta", false, {}, delta},
        {"an empty entry last", false, {}, TableDelta{0, 3, true, {}, {}, {AccessEntry{}}, {}}},
        {"command result", false, {}, CommandResult{MessageType::CloseFile, 2}},
        {"refused", false, {}, Refused{Refusal::TrailingBytes}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string frame = c.request ? EncodeRequest(c.req) : EncodeReply(c.rep);
        ASSERT_GE(frame.size(), kHeaderBytes);
        const auto refusal = [&](std::string_view bytes) {
            return c.request ? DecodeRequest(bytes).refusal : DecodeReply(bytes).refusal;
        };
        if (c.request) {
            const auto back = DecodeRequest(frame);
            ASSERT_TRUE(back.message);
            EXPECT_TRUE(*back.message == c.req);
            // A request is an unknown type to the tray, a reply to the service.
            EXPECT_EQ(DecodeReply(frame).refusal, Refusal::UnknownType);
        } else {
            const auto back = DecodeReply(frame);
            ASSERT_TRUE(back.message);
            EXPECT_TRUE(*back.message == c.rep);
            EXPECT_EQ(DecodeRequest(frame).refusal,
                      frame.size() > kMaxRequestBytes ? Refusal::Oversized : Refusal::UnknownType);
        }
        for (std::size_t n = 0; n < frame.size(); ++n) {
            ASSERT_EQ(refusal(frame.substr(0, n)), Refusal::Truncated) << "cut at " << n;
        }
        // The same cuts with the length prefix made to agree: a field runs past the end (payloads
        // without fields have nothing to cut).
        for (std::size_t n = kHeaderBytes; n < frame.size(); ++n) {
            std::string cut = frame.substr(0, n);
            PutU32(cut, 0, static_cast<std::uint32_t>(n - kLengthBytes));
            ASSERT_EQ(refusal(cut), Refusal::Truncated) << "body cut at " << n;
        }
        const auto withByte = [&](std::size_t at, int value) {
            std::string bytes = frame;
            bytes[at] = static_cast<char>(value);
            return bytes;
        };
        std::string longer = frame + 'x';
        PutU32(longer, 0, static_cast<std::uint32_t>(longer.size() - kLengthBytes));
        const struct {
            const char* what;
            std::string bytes;
            Refusal reason;
        } damaged[] = {
            {"bytes after the frame's end", frame + "xy", Refusal::TrailingBytes},
            {"a byte after the message, counted in the length", longer, Refusal::TrailingBytes},
            {"a frame of a newer version", withByte(kLengthBytes, kProtocolVersion + 1), Refusal::WrongVersion},
            {"a frame of an older version", withByte(kLengthBytes, kProtocolVersion - 1), Refusal::WrongVersion},
            {"a type no message has", withByte(kLengthBytes + 2, 0x77), Refusal::UnknownType},
        };
        for (const auto& d : damaged) {
            EXPECT_EQ(refusal(d.bytes), d.reason) << d.what;
        }
    }
}

TEST(PipeProtocol, BoundsAreCheckedBeforeAnythingIsAllocated) {
    // A length that passes the request bound is refused from the prefix alone.
    std::string prefix(4, '\0');
    PutU32(prefix, 0, kMaxRequestBytes - kLengthBytes + 1);
    EXPECT_EQ(ReadFrameLength(prefix, kMaxRequestBytes).refusal, Refusal::Oversized);
    PutU32(prefix, 0, 0xFFFFFFFFu);
    EXPECT_EQ(ReadFrameLength(prefix, kMaxReplyBytes).refusal, Refusal::Oversized);
    PutU32(prefix, 0, 3); // cannot hold version and type
    EXPECT_EQ(ReadFrameLength(prefix, kMaxRequestBytes).refusal, Refusal::Truncated);
    PutU32(prefix, 0, kMaxRequestBytes - kLengthBytes);
    EXPECT_EQ(ReadFrameLength(prefix, kMaxRequestBytes).bodyBytes, kMaxRequestBytes - kLengthBytes);
    EXPECT_EQ(DecodeRequest(std::string(kMaxRequestBytes + 1, '\0')).refusal, Refusal::Oversized);

    // A string over the field bound: the encoder cuts it, so that one long field cannot make a whole
    // delta refused; the decoder refuses it.
    const auto cut = DecodeRequest(EncodeRequest(Disconnect{{std::string(300, 'a'), "u", "", 0}, true}));
    ASSERT_TRUE(cut.message);
    EXPECT_EQ(std::get<Disconnect>(*cut.message).entry.client, std::string(kMaxStringBytes, 'a'));
    std::string frame = EncodeRequest(CloseFile{{"", "", "", 0}});
    frame[kHeaderBytes] = static_cast<char>(kMaxStringBytes + 1); // the client's byte count
    frame.insert(kHeaderBytes + 2, kMaxStringBytes + 1, 'a');
    PutU32(frame, 0, static_cast<std::uint32_t>(frame.size() - kLengthBytes));
    EXPECT_EQ(DecodeRequest(frame).refusal, Refusal::BadField);

    // More rule cuts than a service keeps: a bad field.
    TableDelta cuts;
    cuts.state.cuts.recent.resize(RuleCuts::kKeptCuts);
    ASSERT_TRUE(DecodeReply(EncodeReply(cuts)).message);
    cuts.state.cuts.recent.resize(RuleCuts::kKeptCuts + 1);
    EXPECT_EQ(DecodeReply(EncodeReply(cuts)).refusal, Refusal::BadField);

    // A bool other than 0 or 1.
    frame = EncodeRequest(Disconnect{{"PC", "u", "", 0}, true});
    frame.back() = 2;
    EXPECT_EQ(DecodeRequest(frame).refusal, Refusal::BadField);

    // Counts of rows and keys that the bytes cannot hold: refused, not allocated (ASan would stop on
    // an allocation of 4 billion entries).
    const std::string empty = EncodeReply(TableDelta{});
    const std::size_t addedAt = empty.size() - 12;
    for (const std::size_t at : {addedAt, addedAt + 4, addedAt + 8}) {
        std::string huge = empty;
        PutU32(huge, at, 0xFFFFFFFFu);
        EXPECT_EQ(DecodeReply(huge).refusal, Refusal::Truncated) << at;
    }
}

// A string over the bound is cut before a double-byte character, never inside one: the rule text of a
// rule cut (an extension rule's text after the first dot of a Japanese path) one byte over the bound.
TEST(PipeProtocol, ALongDoubleByteStringIsCutBeforeACharacter) {
    GF_USE_CODE_PAGE_OR_SKIP(932);
    std::string rule = ".";
    for (std::size_t i = 0; i < kMaxStringBytes / 2; ++i) {
        rule += "\x83\x5E"; // a katakana character in code page 932
    }
    ASSERT_EQ(rule.size(), kMaxStringBytes + 1);
    TableDelta delta;
    delta.state.cuts = {1, {{"PC1", "bob", rule}}};
    const auto back = DecodeReply(EncodeReply(delta));
    ASSERT_TRUE(back.message);
    EXPECT_EQ(std::get<TableDelta>(*back.message).state.cuts.recent.at(0).rule, rule.substr(0, kMaxStringBytes - 1));
}

TEST(PipeProtocol, RandomBytesAreRefusedOrDecodeToTheirOwnEncoding) {
    std::mt19937 random(25);
    const std::vector<std::string> seeds = {
        EncodeRequest(Disconnect{{"PC1", "bob", "C:\\a", 9}, true}),
        EncodeReply(TableDelta{1, 2, false, {true, 1, {}, 0, {}}, {Entry(1, "PC", "")}, {}, {4}}),
        EncodeReply(CommandResult{MessageType::Disconnect, 53}),
    };
    int accepted = 0;
    for (int i = 0; i < 6000; ++i) {
        std::string bytes;
        if (i % 2 == 0) {
            // Noise behind a plausible header, so that the payload decoders are reached.
            bytes.resize(random() % 200);
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            if (bytes.size() >= kHeaderBytes) {
                PutU32(bytes, 0, static_cast<std::uint32_t>(bytes.size() - kLengthBytes));
                bytes[4] = static_cast<char>(kProtocolVersion);
                bytes[5] = 0;
                bytes[6] = static_cast<char>(random() % 2 ? random() % 6 : 0x81 + random() % 4);
                bytes[7] = 0;
            }
        } else {
            bytes = seeds[random() % seeds.size()];
            for (unsigned flips = 1 + random() % 3; flips > 0; --flips) {
                bytes[random() % bytes.size()] = static_cast<char>(random());
            }
        }
        const auto request = DecodeRequest(bytes);
        const auto reply = DecodeReply(bytes);
        // The encoding is canonical: whatever is accepted is exactly the frame of what it decoded to.
        if (request.message) {
            ++accepted;
            ASSERT_EQ(EncodeRequest(*request.message), bytes);
        } else {
            ASSERT_NE(request.refusal, Refusal::None);
        }
        if (reply.message) {
            ++accepted;
            ASSERT_EQ(EncodeReply(*reply.message), bytes);
        } else {
            ASSERT_NE(reply.refusal, Refusal::None);
        }
    }
    EXPECT_GT(accepted, 0);
}

// What a tray's mirror holds after each step, through the encoded deltas, equals the service's table.
TEST(TableDelta, MirrorFollowsTheTableThroughAddChangeRemoveAndLostDeltas) {
    AccessTable table;
    DeltaSource source;
    TableMirror mirror;
    struct Step {
        const char* name;
        void (*change)(AccessTable&);
        std::size_t added, changed, removed;
        bool reset;
        bool lose = false; // the delta never reaches the tray
    };
    const std::vector<Step> steps = {
        {"first delta: the whole table", [](AccessTable& t) { t.InsertFront(1, Entry(1, "PC1", "")); }, 1, 0, 0, true},
        {"nothing changed", [](AccessTable&) {}, 0, 0, 0, false},
        {"two added",
         [](AccessTable& t) {
             t.InsertFront(2, Entry(2, "", "C:\\a"));
             t.InsertFront(3, Entry(3, "PC3", ""));
         },
         2, 0, 0, false},
        {"one aged", [](AccessTable& t) { t.FindEntry(2)->staleSeconds = 2.0f; }, 0, 1, 0, false},
        {"one removed, one added, one changed",
         [](AccessTable& t) {
             t.RemoveEntry(1);
             t.InsertFront(4, Entry(4, "PC4", ""));
             t.FindEntry(3)->idleText = "00:00:05";
         },
         1, 1, 1, false},
        {"lost on the way", [](AccessTable& t) { t.RemoveEntry(2); }, 0, 0, 1, false, true},
        {"after a lost delta: reset", [](AccessTable&) {}, 2, 0, 0, true},
        // A key used again: in front, where it was, it is a change; behind another, the tray could not
        // place it by key alone.
        {"key back in its place",
         [](AccessTable& t) {
             t.RemoveEntry(4);
             t.InsertFront(4, Entry(4, "PC9", ""));
         },
         0, 1, 0, false},
        {"keys swap places",
         [](AccessTable& t) {
             t.RemoveEntry(4);
             t.RemoveEntry(3);
             t.InsertFront(4, Entry(4, "PC4", ""));
             t.InsertFront(3, Entry(3, "PC3", ""));
         },
         2, 0, 0, true},
        {"a new key behind a known one",
         [](AccessTable& t) {
             t.RemoveEntry(3);
             t.InsertFront(5, Entry(5, "PC5", ""));
             t.InsertFront(3, Entry(3, "PC3", ""));
         },
         3, 0, 0, true},
        {"all removed", [](AccessTable& t) { t.RemoveIf([](const AccessEntry&, std::uint64_t) { return true; }); }, 0,
         0, 3, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change(table);
        TableDelta delta = source.Changes(mirror.Generation(), &table);
        delta.state = {true, static_cast<std::int32_t>(table.Size()), {}, 0, {}};
        EXPECT_EQ(delta.added.size(), step.added);
        EXPECT_EQ(delta.changed.size(), step.changed);
        EXPECT_EQ(delta.removed.size(), step.removed);
        EXPECT_EQ(delta.reset, step.reset);
        if (step.lose) {
            continue;
        }
        const auto decoded = DecodeReply(EncodeReply(delta));
        ASSERT_TRUE(decoded.message);
        ASSERT_TRUE(mirror.Apply(std::get<TableDelta>(*decoded.message)));
        EXPECT_EQ(mirror.Snapshot().entries, table.Copy());
        EXPECT_EQ(mirror.Snapshot().entryCount, static_cast<std::int32_t>(table.Size()));
    }

    // A delta that does not follow on the mirror's generation empties it, and the next request gets
    // the whole table back.
    table.InsertFront(8, Entry(8, "PC8", ""));
    TableDelta stale = source.Changes(mirror.Generation(), &table);
    stale.since += 1;
    EXPECT_FALSE(mirror.Apply(stale));
    EXPECT_EQ(mirror.Generation(), 0u);
    EXPECT_EQ(mirror.Size(), 0u);
    ASSERT_TRUE(mirror.Apply(source.Changes(mirror.Generation(), &table)));
    EXPECT_EQ(mirror.Snapshot().entries, table.Copy());
}

} // namespace
} // namespace glimmerfen::pipe
