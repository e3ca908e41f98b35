#include "platform/text/Text.h"

#include <algorithm>

namespace {

struct SequenceShape {
    int continuationBytes;
    char32_t leadBits;
    char32_t smallest; // below this the sequence is an overlong form
};

std::optional<SequenceShape> ShapeOf(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) {
        return SequenceShape{1, lead & 0x1Fu, 0x80};
    }
    if ((lead & 0xF0) == 0xE0) {
        return SequenceShape{2, lead & 0x0Fu, 0x800};
    }
    if ((lead & 0xF8) == 0xF0) {
        return SequenceShape{3, lead & 0x07u, 0x10000};
    }
    return std::nullopt;
}

bool IsScalarValue(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

char LowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char16_t EscapedByteBase = 0xDC00;
constexpr char32_t Replacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

} // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    const auto shape = ShapeOf(lead);
    if (!shape || pos + shape->continuationBytes > text.size()) {
        return std::nullopt;
    }
    char32_t c = shape->leadBits;
    for (int i = 0; i < shape->continuationBytes; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < shape->smallest || !IsScalarValue(c)) {
        return std::nullopt;
    }
    pos += shape->continuationBytes;
    return c;
}

std::optional<int> HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

std::string HexByte(unsigned char byte, HexCase letters) {
    const char* digits = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    return {digits[byte >> 4], digits[byte & 0x0F]};
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerChar);
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperChar);
    return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithIgnoringAsciiCase(a, b);
}

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return LowerChar(a) == LowerChar(b); });
}

std::u16string FileNameToUtf16(std::string_view name) {
    std::u16string text;
    std::size_t pos = 0;
    while (pos < name.size()) {
        const std::size_t start = pos;
        const std::optional<char32_t> c = NextUtf8(name, pos);
        if (c) {
            AppendUtf16(text, *c);
        } else {
            text +=
                static_cast<char16_t>(EscapedByteBase + static_cast<unsigned char>(name[start]));
        }
    }
    return text;
}

std::string FileNameFromUtf16(std::u16string_view text) {
    std::string name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(name, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= EscapedByteBase + 0x80 && unit <= EscapedByteBase + 0xFF) {
            name += static_cast<char>(unit - EscapedByteBase);
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(name, Replacement);
        } else {
            AppendUtf8(name, unit);
        }
    }
    return name;
}
