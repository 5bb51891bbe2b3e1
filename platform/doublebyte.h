// Lead- and trail-byte ranges of the double-byte ANSI code pages, as Windows defines them. The
// portable layer takes its lead bytes from here; trail bytes, which the system has no call for, come
// from here on both layers.
#pragma once

#include <cstddef>

namespace glimmerfen::platform {

struct ByteRange {
    unsigned char first;
    unsigned char last;
};

struct DoubleByteRanges {
    unsigned codePage;
    ByteRange lead[2];
    std::size_t leadCount;
    ByteRange trail[3];
    std::size_t trailCount;
};

// The ranges of code page 932, 936, 949 or 950; nullptr for any other.
const DoubleByteRanges* FindDoubleByteRanges(unsigned codePage);

bool InRanges(const ByteRange* ranges, std::size_t count, unsigned char byte);

} // namespace glimmerfen::platform
