#include "platform/codepage/CodePage.h"

#include "platform/text/Text.h"

#include <array>
#include <cstdint>

namespace {

using HighHalf = std::array<char32_t, 128>;

// Bytes 0x80-0xFF; 0 marks a byte the page leaves undefined.
constexpr HighHalf kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr HighHalf makeCp1252High() {
    constexpr std::array<char32_t, 32> c1 = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    HighHalf table{};
    for (std::size_t i = 0; i < c1.size(); ++i) {
        table[i] = c1[i];
    }
    // 0xA0-0xFF coincide with Latin-1.
    for (std::size_t i = c1.size(); i < table.size(); ++i) {
        table[i] = static_cast<char32_t>(0x80 + i);
    }
    return table;
}

constexpr HighHalf kCp1252High = makeCp1252High();

std::string decode(std::string_view bytes, const HighHalf& high) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x80) {
            out += byte;
            continue;
        }
        const char32_t c = high[b - 0x80];
        AppendUtf8(out, c == 0 ? U'?' : c);
    }
    return out;
}

char encodeOne(char32_t c, const HighHalf& high) {
    if (c < 0x80) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < high.size(); ++i) {
        if (high[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

std::string encode(std::string_view text, const HighHalf& high) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto c = NextUtf8(text, pos);
        out += c ? encodeOne(*c, high) : '?';
    }
    return out;
}

} // namespace

std::string DecodeCp437(std::string_view bytes) {
    return decode(bytes, kCp437High);
}
std::string EncodeCp437(std::string_view text) {
    return encode(text, kCp437High);
}
std::string DecodeCp1252(std::string_view bytes) {
    return decode(bytes, kCp1252High);
}
std::string EncodeCp1252(std::string_view text) {
    return encode(text, kCp1252High);
}
