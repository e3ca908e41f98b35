#include "platform/registry/RegFile.h"

#include "platform/text/Text.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view Header5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view Header4 = "REGEDIT4";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view Utf16Bom = "\xFF\xFE";
constexpr char32_t Replacement = 0xFFFD;

// --- text encodings ---------------------------------------------------------------------

std::string Utf8ToUtf16Le(std::string_view utf8) {
    std::string out;
    auto put = [&out](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    for (size_t pos = 0; pos < utf8.size();) {
        const char32_t c = NextUtf8(utf8, pos).value_or(Replacement);
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    auto unitAt = [&bytes](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? Replacement : unit);
    }
    return out;
}

// Windows keeps these types as UTF-16 in .reg files; the hive keeps UTF-8.
bool IsTextType(uint32_t type) {
    return type == RegType::Sz || type == RegType::ExpandSz || type == RegType::MultiSz;
}

// --- small text helpers ---------------------------------------------------------------------

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<uint32_t> ParseHexNumber(std::string_view s) {
    if (s.empty() || s.size() > 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char c : s) {
        const auto digit = HexDigitValue(c);
        if (!digit) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<uint32_t>(*digit);
    }
    return value;
}

// --- parsing ----------------------------------------------------------------------------------

// Why a key or value name cannot be stored, or nothing: names are text without NUL.
std::string NameError(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) {
        return "holds a NUL character";
    }
    for (size_t pos = 0; pos < name.size();) {
        if (!NextUtf8(name, pos)) {
            return "is not valid UTF-8";
        }
    }
    return {};
}

struct Line {
    int number = 0;
    std::string text;
};

// Physical lines joined where one ends with a backslash, as long hex lists are wrapped; one at
// a time, so that a large file is not held twice.
class LogicalLines {
public:
    explicit LogicalLines(std::string_view text) : text_(text) {}

    bool next(Line& line) {
        if (start_ > text_.size()) {
            return false;
        }
        line.text.clear();
        line.number = number_ + 1;
        for (bool continued = true; continued && start_ <= text_.size();) {
            size_t end = text_.find('\n', start_);
            if (end == std::string_view::npos) {
                end = text_.size();
            }
            ++number_;
            line.text += Trim(text_.substr(start_, end - start_));
            start_ = end + 1;
            continued = !line.text.empty() && line.text.back() == '\\' &&
                        line.text.front() != '[' && line.text.front() != ';';
            if (continued) {
                line.text.pop_back();
            }
        }
        return true;
    }

private:
    std::string_view text_;
    size_t start_ = 0;
    int number_ = 0;
};

class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}
    bool atEnd() const { return pos_ >= s_.size(); }
    bool consume(char c) {
        if (atEnd() || s_[pos_] != c) {
            return false;
        }
        ++pos_;
        return true;
    }
    void skipBlanks() {
        while (!atEnd() && IsBlank(s_[pos_])) {
            ++pos_;
        }
    }
    std::string_view rest() const { return s_.substr(std::min(pos_, s_.size())); }
    // After the opening quote: the text up to the closing one, \\ and \" unescaped.
    std::optional<std::string> quoted() {
        std::string out;
        while (!atEnd()) {
            const char c = s_[pos_++];
            if (c == '"') {
                return out;
            }
            if (c == '\\' && !atEnd() && (s_[pos_] == '\\' || s_[pos_] == '"')) {
                out += s_[pos_++];
                continue;
            }
            out += c;
        }
        return std::nullopt;
    }
    // Nothing but blanks or a comment is left.
    bool onlyCommentLeft() {
        skipBlanks();
        return atEnd() || s_[pos_] == ';';
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
};

std::optional<std::string> ParseHexBytes(std::string_view list) {
    std::string bytes;
    list = Trim(list);
    if (list.empty()) {
        return bytes;
    }
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(',', start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        const std::string_view item = Trim(list.substr(start, end - start));
        const auto value = ParseHexNumber(item);
        if (!value || item.size() > 2) {
            return std::nullopt;
        }
        bytes += static_cast<char>(*value);
        start = end + 1;
    }
    return bytes;
}

// The part after "=": fills value or returns an error text.
std::string ParseData(std::string_view field, RegFileValue& value) {
    Cursor cursor(field);
    if (cursor.consume('"')) {
        const auto text = cursor.quoted();
        if (!text || !cursor.onlyCommentLeft()) {
            return "unterminated or malformed text";
        }
        value.type = RegType::Sz;
        value.data = *text + '\0';
        return {};
    }
    // Past a quoted text, ";" can only start a comment.
    field = Trim(field.substr(0, field.find(';')));
    if (cursor.consume('-')) {
        value.remove = true;
        return field == "-" ? "" : "malformed deletion";
    }
    if (StartsWithIgnoringAsciiCase(field, "dword:")) {
        const auto number = ParseHexNumber(Trim(field.substr(6)));
        if (!number) {
            return "dword needs one to eight hexadecimal digits";
        }
        value.type = RegType::Dword;
        value.data = DwordBytes(*number);
        return {};
    }
    if (!StartsWithIgnoringAsciiCase(field, "hex")) {
        return "unknown kind of value";
    }
    field.remove_prefix(3);
    value.type = RegType::Binary;
    if (!field.empty() && field.front() == '(') {
        const size_t close = field.find(')');
        const auto type = close == std::string_view::npos
                              ? std::nullopt
                              : ParseHexNumber(field.substr(1, close - 1));
        if (!type) {
            return "malformed hex(type)";
        }
        value.type = *type;
        field.remove_prefix(close + 1);
    }
    if (field.empty() || field.front() != ':') {
        return "':' expected after hex";
    }
    const auto bytes = ParseHexBytes(field.substr(1));
    if (!bytes) {
        return "hex values must be bytes of two hexadecimal digits separated by commas";
    }
    if (IsTextType(value.type) && bytes->size() % 2 != 0) {
        return "text in hex form needs an even number of bytes";
    }
    value.data = IsTextType(value.type) ? Utf16LeToUtf8(*bytes) : *bytes;
    return {};
}

std::string ParseValueLine(std::string_view line, RegFileValue& value) {
    Cursor cursor(line);
    if (!cursor.consume('@')) {
        if (!cursor.consume('"')) {
            return "a value line starts with a quoted name or @";
        }
        const auto name = cursor.quoted();
        if (!name) {
            return "unterminated value name";
        }
        if (const std::string bad = NameError(*name); !bad.empty()) {
            return "the value name " + bad;
        }
        value.name = *name;
    }
    cursor.skipBlanks();
    if (!cursor.consume('=')) {
        return "'=' expected after the value name";
    }
    cursor.skipBlanks();
    return ParseData(cursor.rest(), value);
}

std::string ParseKeyLine(std::string_view line, RegFileKey& key) {
    std::string_view inner = Trim(line.substr(1, line.size() - 2));
    key.remove = !inner.empty() && inner.front() == '-';
    if (key.remove) {
        inner.remove_prefix(1);
    }
    if (const std::string bad = NameError(inner); !bad.empty()) {
        return "the key name " + bad;
    }
    const auto name = ParseKeyName(inner);
    if (!name) {
        return "unknown root key in [" + std::string(inner) + "]";
    }
    key.key = *name;
    return {};
}

std::string DecodeText(std::string_view bytes) {
    if (bytes.substr(0, Utf16Bom.size()) == Utf16Bom) {
        return Utf16LeToUtf8(bytes.substr(Utf16Bom.size()));
    }
    if (bytes.substr(0, Utf8Bom.size()) == Utf8Bom) {
        bytes.remove_prefix(Utf8Bom.size());
    }
    return std::string(bytes);
}

RegFileParse Failure(int line, const std::string& message) {
    RegFileParse result;
    result.error = "line " + std::to_string(line) + ": " + message;
    return result;
}

// --- formatting ---------------------------------------------------------------------------------

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

std::string HexList(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        if (!out.empty()) {
            out += ',';
        }
        out += HexByte(static_cast<unsigned char>(c), HexCase::Lower);
    }
    return out;
}

// Text with exactly one closing NUL and no line break can stand in quotes.
bool IsPlainText(std::string_view data) {
    if (data.empty() || data.back() != '\0') {
        return false;
    }
    data.remove_suffix(1);
    return data.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

std::string FormatData(const RegFileValue& value) {
    if (value.remove) {
        return "-";
    }
    if (value.type == RegType::Sz && IsPlainText(value.data)) {
        return Quote(std::string_view(value.data).substr(0, value.data.size() - 1));
    }
    if (value.type == RegType::Dword && value.data.size() == 4) {
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", DwordOf(value.data));
        return text;
    }
    if (value.type == RegType::Binary) {
        return "hex:" + HexList(value.data);
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    return prefix + HexList(IsTextType(value.type) ? Utf8ToUtf16Le(value.data) : value.data);
}

} // namespace

std::optional<KeyName> ParseKeyName(std::string_view text) {
    const size_t split = text.find('\\');
    const auto root = ParseRootKeyName(text.substr(0, split));
    if (!root) {
        return std::nullopt;
    }
    if (split == std::string_view::npos) {
        return KeyName{*root, {}};
    }
    return KeyName{*root, JoinKeyPath(SplitKeyPath(text.substr(split + 1)))};
}

RegFileParse ParseRegFile(std::string_view bytes) {
    const std::string text = DecodeText(bytes);
    RegFileParse result;
    bool headerSeen = false;
    LogicalLines lines(text);
    for (Line line; lines.next(line);) {
        if (line.text.empty() || line.text.front() == ';') {
            continue;
        }
        if (!headerSeen) {
            if (line.text != Header5 && line.text != Header4) {
                return Failure(line.number,
                               "not a registry file (\"" + std::string(Header5) + "\" expected)");
            }
            headerSeen = true;
            continue;
        }
        std::string error;
        if (line.text.front() == '[') {
            if (line.text.back() != ']') {
                return Failure(line.number, "']' expected at the end of the key line");
            }
            result.keys.emplace_back();
            error = ParseKeyLine(line.text, result.keys.back());
        } else if (result.keys.empty()) {
            error = "value outside of any [key]";
        } else {
            result.keys.back().values.emplace_back();
            error = ParseValueLine(line.text, result.keys.back().values.back());
        }
        if (!error.empty()) {
            return Failure(line.number, error);
        }
    }
    if (!headerSeen) {
        return Failure(1, "not a registry file (empty)");
    }
    return result;
}

std::string FormatRegFile(const std::vector<RegFileKey>& keys) {
    std::string out = std::string(Header5) + "\r\n\r\n";
    for (const RegFileKey& key : keys) {
        const std::string name =
            RootKeyName(key.key.root) + (key.key.path.empty() ? "" : "\\" + key.key.path);
        out += "[" + std::string(key.remove ? "-" : "") + name + "]\r\n";
        for (const RegFileValue& value : key.values) {
            out += (value.name.empty() ? std::string("@") : Quote(value.name)) + "=" +
                   FormatData(value) + "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

std::string DisplayRegData(uint32_t type, std::string_view data) {
    if (type == RegType::Sz || type == RegType::ExpandSz) {
        return std::string(data.substr(0, data.find('\0')));
    }
    if (type == RegType::Dword && data.size() == 4) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", DwordOf(data));
        return text;
    }
    if (type == RegType::MultiSz) {
        std::string shown;
        while (!data.empty() && data.back() == '\0') {
            data.remove_suffix(1);
        }
        for (char c : data) {
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        }
        return shown;
    }
    std::string hex;
    for (char c : data) {
        hex += HexByte(static_cast<unsigned char>(c));
    }
    return hex;
}
