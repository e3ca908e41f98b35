#include "common/Printing.h"

#include <cstdio>

namespace {

std::string Escaped(unsigned char byte) {
    switch (byte) {
    case '"':
        return "\\\"";
    case '\\':
        return "\\\\";
    case '\r':
        return "\\r";
    case '\n':
        return "\\n";
    case '\t':
        return "\\t";
    default:
        break;
    }
    if (byte >= 0x20 && byte < 0x7F) {
        return std::string(1, static_cast<char>(byte));
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    return hex;
}

} // namespace

std::string OneLine(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        out += Escaped(static_cast<unsigned char>(c));
    }
    return out + "\"";
}
