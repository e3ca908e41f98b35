#include "common/GdtFiles.h"

#include <algorithm>
#include <stdexcept>

std::string L(const std::string& text) {
    const std::string length = std::to_string(text.size() + 5);
    return std::string(3 - length.size(), '0') + length + text + "\r\n";
}

std::vector<std::string> LinesOf(const std::string& record) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < record.size()) {
        const size_t end = record.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(record.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(record.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

GdtRecordLine ParseLine(const std::string& line) {
    if (line.size() < 7 || !AllDigits(line.substr(0, 7))) {
        throw std::runtime_error("no length and field: " + line);
    }
    if (std::stoul(line.substr(0, 3)) != line.size() + 2) {
        throw std::runtime_error("wrong length field: " + line);
    }
    return {std::stoi(line.substr(3, 4)), line.substr(7)};
}

} // namespace

std::vector<GdtRecordLine> ParseGdtRecord(const std::string& record) {
    if (record.size() < 2 || record.substr(record.size() - 2) != "\r\n") {
        throw std::runtime_error("last line without CR LF");
    }
    std::vector<GdtRecordLine> lines;
    for (const std::string& line : LinesOf(record)) {
        lines.push_back(ParseLine(line));
    }
    if (lines.size() < 2 || lines[1].field != 8100 || lines[1].content.size() != 5 ||
        !AllDigits(lines[1].content) || std::stoul(lines[1].content) != record.size()) {
        throw std::runtime_error("record length does not match the size " +
                                 std::to_string(record.size()));
    }
    return lines;
}
