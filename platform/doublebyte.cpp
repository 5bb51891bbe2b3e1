#include "platform/doublebyte.h"

#include "platform/codepage.h"

namespace glimmerfen::platform {
namespace {

// Japanese (Shift-JIS), Simplified Chinese (GBK), Korean (Unified Hangul Code), Traditional Chinese
// (Big5). Only 932 leaves 0xA0..0xDF to single bytes (the half-width katakana); the other three take
// every byte from 0x81 to 0xFE as a lead byte.
constexpr DoubleByteRanges kTables[] = {
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}}, 2, {{0x40, 0x7E}, {0x80, 0xFC}}, 2},
    {936, {{0x81, 0xFE}}, 1, {{0x40, 0x7E}, {0x80, 0xFE}}, 2},
    {949, {{0x81, 0xFE}}, 1, {{0x41, 0x5A}, {0x61, 0x7A}, {0x81, 0xFE}}, 3},
    {950, {{0x81, 0xFE}}, 1, {{0x40, 0x7E}, {0xA1, 0xFE}}, 2},
};

} // namespace

const DoubleByteRanges* FindDoubleByteRanges(unsigned codePage) {
    for (const DoubleByteRanges& table : kTables) {
        if (table.codePage == codePage) {
            return &table;
        }
    }
    return nullptr;
}

bool InRanges(const ByteRange* ranges, std::size_t count, unsigned char byte) {
    for (std::size_t i = 0; i < count; ++i) {
        if (byte >= ranges[i].first && byte <= ranges[i].last) {
            return true;
        }
    }
    return false;
}

bool IsTrailByte(unsigned char byte) {
    if (const DoubleByteRanges* table = FindDoubleByteRanges(AnsiCodePage())) {
        return InRanges(table->trail, table->trailCount, byte);
    }
    // A double-byte code page without a table of its own: every trail byte of the four above lies at
    // 0x40 and beyond, and none is DEL.
    return byte >= 0x40 && byte != 0x7F && byte != 0xFF;
}

} // namespace glimmerfen::platform
