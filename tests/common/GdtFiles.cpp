#include "common/GdtFiles.h"

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
