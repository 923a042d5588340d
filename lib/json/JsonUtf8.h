#pragma once
// UTF-8 checking shared by the JSON reader and writer.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jsonutf8 {

enum class Result { Valid, Invalid, CutOff };

// Checks the multi-byte sequence at p (whose first byte is >= 0x80) and sets
// its length. Overlong forms, encoded surrogates and values above U+10FFFF
// are invalid; CutOff means the data ends inside a sequence that could still
// be valid.
inline Result check(const uint8_t* p, const uint8_t* end, size_t& length) {
    uint8_t lead = p[0];
    uint8_t lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            lo = 0xA0;
        else if (lead == 0xED)
            hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F;
    } else {
        return Result::Invalid;
    }
    for (size_t i = 1; i < length; ++i) {
        if (p + i >= end) return Result::CutOff;
        uint8_t c = p[i];
        if (i == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) return Result::Invalid;
    }
    return Result::Valid;
}

// The offset of the first quote, backslash, control byte or byte of a
// multi-byte sequence among the 16 bytes at p, or 16 when there is none.
#if defined(__SSE2__)
inline unsigned firstSpecial16(const uint8_t* p) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i quote = _mm_cmpeq_epi8(x, _mm_set1_epi8('"'));
    __m128i backslash = _mm_cmpeq_epi8(x, _mm_set1_epi8('\\'));
    __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(0x1F)), _mm_set1_epi8(0x1F));
    unsigned mask = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(quote, backslash), control))) |
                    unsigned(_mm_movemask_epi8(x));
    return mask ? unsigned(__builtin_ctz(mask)) : 16u;
}
#endif

// True when none of the eight bytes at p is a quote, a backslash, a control
// byte or a byte of a multi-byte sequence.
inline bool isPlainAscii8(const uint8_t* p) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    uint64_t x;
    std::memcpy(&x, p, 8);
    auto hasZeroByte = [&](uint64_t v) { return (v - ones) & ~v & highs; };
    uint64_t special =
        (x & highs) | ((x - ones * 0x20) & ~x & highs) | hasZeroByte(x ^ (ones * '"')) | hasZeroByte(x ^ (ones * '\\'));
    return special == 0;
}

// True when p starts a three-byte sequence that needs no range check beyond
// its continuation bytes (lead E1-EC or EE-EF): most CJK text.
inline bool isPlainThreeByte(const uint8_t* p, const uint8_t* end) {
    return end - p >= 3 && uint8_t(p[0] - 0xE1) <= 0xEF - 0xE1 && p[0] != 0xED && (p[1] & 0xC0) == 0x80 &&
           (p[2] & 0xC0) == 0x80;
}

// Byte classes inside a string: 0 plain ASCII, 1 quote, 2 backslash,
// 3 control byte, 4 lead or stray byte of a multi-byte sequence.
struct StringClasses {
    uint8_t c[256];
    constexpr StringClasses() : c() {
        for (int i = 0; i < 256; ++i) c[i] = i < 0x20 ? 3 : i >= 0x80 ? 4 : 0;
        c[uint8_t('"')] = 1;
        c[uint8_t('\\')] = 2;
    }
};
inline constexpr StringClasses kStringClasses;

// The first byte from p on that is not plain ASCII inside a string, or end.
// Plain runs are the common case: they are skipped many bytes at a time.
inline const uint8_t* skipPlain(const uint8_t* p, const uint8_t* end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        unsigned skip = firstSpecial16(p);
        if (skip < 16) return p + skip;
        p += 16;
    }
#endif
    while (end - p >= 8 && isPlainAscii8(p)) p += 8;
    while (p < end && kStringClasses.c[*p] == 0) ++p;
    return p;
}

}  // namespace jsonutf8
