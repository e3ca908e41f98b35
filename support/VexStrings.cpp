#include "support/VexStrings.h"

#include "platform/codepage/CodePage.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

// The text ends at its first NUL, as the delimited-string helpers treat it.
std::string_view untilNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of a hex prefix ("$", "x", "X", "0x", "0X") at the start of text, 0 if none.
std::size_t hexPrefixLength(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return 2;
    }
    if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
        return 1;
    }
    return 0;
}

// Integer reading at the width of Signed; hex digits give the bit pattern.
template <typename Signed> std::optional<Signed> readInteger(std::string_view text) {
    using Unsigned = std::make_unsigned_t<Signed>;
    constexpr std::size_t maxHexDigits = sizeof(Signed) * 2;
    while (!text.empty() && text[0] == ' ') {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (const std::size_t prefix = hexPrefixLength(text); prefix > 0) {
        text.remove_prefix(prefix);
        if (text.empty() || text.size() > maxHexDigits) {
            return std::nullopt;
        }
        Unsigned value = 0;
        for (const char c : text) {
            const auto digit = HexDigitValue(c);
            if (!digit) {
                return std::nullopt;
            }
            value = static_cast<Unsigned>((value << 4) | static_cast<Unsigned>(*digit));
        }
        return static_cast<Signed>(negative ? Unsigned{0} - value : value);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    Unsigned magnitude = 0;
    const Unsigned limit =
        static_cast<Unsigned>(std::numeric_limits<Signed>::max()) + (negative ? 1 : 0);
    for (const char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        const auto digit = static_cast<Unsigned>(c - '0');
        if (magnitude > (limit - digit) / 10) {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + digit;
    }
    return static_cast<Signed>(negative ? Unsigned{0} - magnitude : magnitude);
}

// Decimal digits of |value| rounded to 18 significant digits, and the number of digits before the
// point (may be zero or negative for values below 1).
struct Significand {
    std::string digits;
    int integerDigits = 0;
};

Significand significandOf(double magnitude) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17e", magnitude);
    const std::string_view text(buffer);
    const std::size_t e = text.find('e');
    Significand result;
    for (const char c : text.substr(0, e)) {
        if (isDigit(c)) {
            result.digits += c;
        }
    }
    int exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    result.integerDigits = magnitude == 0 ? 1 : exponent + 1;
    return result;
}

// Fixed notation of the significand with the given number of decimals, rounding half up.
std::pair<std::string, std::string> fixedParts(const Significand& s, int decimals) {
    // Digits from 10^(integerDigits-1) down to 10^-decimals, padded with zeros.
    const int integerCount = std::max(s.integerDigits, 1);
    const int total = integerCount + decimals;
    std::string digits(static_cast<std::size_t>(total), '0');
    std::optional<int> roundDigit;
    for (int i = 0; i < static_cast<int>(s.digits.size()); ++i) {
        const int power = s.integerDigits - 1 - i;
        const int index = integerCount - 1 - power;
        if (index >= total) {
            if (index == total) {
                roundDigit = s.digits[static_cast<std::size_t>(i)] - '0';
            }
            break;
        }
        if (index >= 0) {
            digits[static_cast<std::size_t>(index)] = s.digits[static_cast<std::size_t>(i)];
        }
    }
    if (roundDigit && *roundDigit >= 5) {
        int i = total - 1;
        for (; i >= 0 && digits[static_cast<std::size_t>(i)] == '9'; --i) {
            digits[static_cast<std::size_t>(i)] = '0';
        }
        if (i < 0) {
            digits.insert(digits.begin(), '1');
        } else {
            ++digits[static_cast<std::size_t>(i)];
        }
    }
    const std::size_t split = digits.size() - static_cast<std::size_t>(decimals);
    return {digits.substr(0, split), digits.substr(split)};
}

std::string groupThousands(const std::string& integer, char separator) {
    std::string out;
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0) {
            out += separator;
        }
        out += integer[i];
    }
    return out;
}

std::string exponentText(const Significand& s, char decimalChar) {
    std::string mantissa = s.digits;
    while (mantissa.size() > 1 && mantissa.back() == '0') {
        mantissa.pop_back();
    }
    std::string out(1, mantissa[0]);
    if (mantissa.size() > 1) {
        out += decimalChar;
        out += mantissa.substr(1);
    }
    return out + "E+" + std::to_string(s.integerDigits - 1);
}

bool allZeros(std::string_view digits) {
    return digits.find_first_not_of('0') == digits.npos;
}

// Accepts: blanks, sign, digits with optional fraction, optional exponent; nothing after.
bool isDecimalNumber(std::string_view text) {
    std::size_t i = 0;
    auto digitsFrom = [&](std::size_t from) {
        std::size_t j = from;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
        }
        return j - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t mantissaDigits = digitsFrom(i);
    i += mantissaDigits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const std::size_t fraction = digitsFrom(i);
        i += fraction;
        mantissaDigits += fraction;
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t exponentDigits = digitsFrom(i);
        if (exponentDigits == 0) {
            return false;
        }
        i += exponentDigits;
    }
    return i == text.size();
}

} // namespace

CharSet MakeCharSet(std::string_view chars) {
    CharSet set;
    for (const char c : chars) {
        set.set(static_cast<unsigned char>(c));
    }
    return set;
}

CharSet BlankAndControlChars() {
    CharSet set;
    for (int c = 0; c <= 32; ++c) {
        set.set(static_cast<std::size_t>(c));
    }
    return set;
}

std::optional<int32_t> ReadIntegerText(std::string_view text) {
    return readInteger<int32_t>(text);
}

std::optional<int64_t> ReadInt64Text(std::string_view text) {
    return readInteger<int64_t>(text);
}

int TokenCount(std::string_view s, std::string_view delim) {
    s = untilNul(s);
    if (s.empty()) {
        return 0;
    }
    // An empty delimiter occurs nowhere: the whole text is one piece.
    if (delim.empty()) {
        return 1;
    }
    int count = 1;
    for (std::size_t pos = s.find(delim); pos != s.npos; pos = s.find(delim, pos + delim.size())) {
        ++count;
    }
    return count;
}

std::string GetToken(std::string_view s, std::string_view delim, int n) {
    s = untilNul(s);
    if (n < 1) {
        return {};
    }
    std::size_t start = 0;
    for (int piece = 1;; ++piece) {
        const std::size_t end = delim.empty() ? s.npos : s.find(delim, start);
        if (piece == n) {
            return std::string(s.substr(start, end == s.npos ? s.npos : end - start));
        }
        if (end == s.npos) {
            return {};
        }
        start = end + delim.size();
    }
}

int32_t GetTokenInt(std::string_view s, std::string_view delim, int n) {
    return ReadIntegerText(GetToken(s, delim, n)).value_or(0);
}

int32_t HexToInt(std::string_view s) {
    return ReadIntegerText("$" + std::string(s)).value_or(0);
}

std::string IntToStrZero(int64_t value, int width) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    }
    return text;
}

std::string IfThenStr(bool condition, const std::string& whenTrue, const std::string& whenFalse) {
    return condition ? whenTrue : whenFalse;
}

int32_t IfThenInt(bool condition, int32_t whenTrue, int32_t whenFalse) {
    return condition ? whenTrue : whenFalse;
}

std::string JoinNonEmpty(const std::string& a, const std::string& b, const std::string& separator) {
    if (a.empty() || b.empty()) {
        return a + b;
    }
    return a + separator + b;
}

std::string TrimCharSet(std::string_view s, const CharSet& charSet, bool left, bool right) {
    auto inSet = [&](char c) { return charSet.test(static_cast<unsigned char>(c)); };
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (left && begin < end && inSet(s[begin])) {
        ++begin;
    }
    while (right && end > begin && inSet(s[end - 1])) {
        --end;
    }
    return std::string(s.substr(begin, end - begin));
}

std::string DeleteCharSet(std::string_view s, const CharSet& charSet) {
    std::string out;
    for (const char c : s) {
        if (!charSet.test(static_cast<unsigned char>(c))) {
            out += c;
        }
    }
    return out;
}

std::string KeepChars(std::string_view s, std::string_view allowed) {
    const CharSet keep = MakeCharSet(allowed);
    std::string out;
    for (const char c : s) {
        if (keep.test(static_cast<unsigned char>(c))) {
            out += c;
        }
    }
    return out;
}

std::string XorHexEncode(std::string_view value, std::string_view key) {
    if (key.empty()) {
        return std::string(value);
    }
    std::string out;
    out.reserve(value.size() * 2);
    for (std::size_t i = 0; i < value.size(); ++i) {
        out += HexByte(static_cast<unsigned char>(value[i] ^ key[i % key.size()]));
    }
    return out;
}

std::string XorHexDecode(std::string_view text, std::string_view key) {
    if (key.empty() || text.size() % 2 != 0) {
        return {};
    }
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto high = HexDigitValue(text[i]);
        const auto low = HexDigitValue(text[i + 1]);
        if (!high || !low) {
            return {};
        }
        out += static_cast<char>((*high << 4 | *low) ^ key[(i / 2) % key.size()]);
    }
    return out;
}

std::string FormatFloatText(int decimals, char decimalChar, char thousandsChar, double value,
                            bool emptyIfZero) {
    if (value == 0 && emptyIfZero) {
        return {};
    }
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    decimals = std::clamp(decimals, 0, 18);
    const Significand s = significandOf(std::fabs(value));
    const std::string sign = value < 0 ? "-" : "";
    // Beyond 18 integer digits fixed notation would invent digits; the exponent form carries no
    // trailing zeros to strip, so it is returned as it is.
    if (s.integerDigits > 18) {
        return sign + exponentText(s, decimalChar);
    }
    auto [integer, fraction] = fixedParts(s, decimals);
    std::string text = allZeros(integer + fraction) ? "" : sign;
    text += thousandsChar == '\0' ? integer : groupThousands(integer, thousandsChar);
    if (decimals == 0) {
        return text;
    }
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    return fraction.empty() ? text : text + decimalChar + fraction;
}

double ParseFloatText(std::string_view text, char decimalChar, double defaultValue) {
    std::string normalized(text);
    if (decimalChar != '.') {
        if (const std::size_t pos = normalized.find(decimalChar); pos != normalized.npos) {
            normalized[pos] = '.';
        }
    }
    std::string_view number(normalized);
    while (!number.empty() && number[0] == ' ') {
        number.remove_prefix(1);
    }
    if (!isDecimalNumber(number)) {
        return defaultValue;
    }
    if (number[0] == '+') {
        number.remove_prefix(1);
    }
    double result = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), result);
    if (error != std::errc() || end != number.data() + number.size()) {
        return defaultValue;
    }
    return result;
}

std::string ConvertOemToAnsi(std::string_view oem) {
    return DecodeCp437(oem);
}

std::string ConvertAnsiToOem(std::string_view text) {
    return EncodeCp437(text);
}

std::string ConvertCp1252ToText(std::string_view bytes) {
    return DecodeCp1252(bytes);
}

std::string ConvertTextToCp1252(std::string_view text) {
    return EncodeCp1252(text);
}
