#include "platform/files/TemporaryName.h"

#include <algorithm>

namespace {

// The most bytes of the target's name a temporary name keeps: enough to tell whose it is.
constexpr size_t KeptNameBytes = 16;
constexpr std::string_view Ending = ".tmp";

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Cut before a character, never inside one, so that a UTF-8 name stays UTF-8.
std::string_view KeptStart(std::string_view name) {
    if (name.size() <= KeptNameBytes) {
        return name;
    }
    size_t end = KeptNameBytes;
    while (end > 0 && IsUtf8Continuation(name[end])) {
        --end;
    }
    return name.substr(0, end);
}

} // namespace

std::string TemporaryNameFor(std::string_view targetName, std::string_view unforeseeable) {
    std::string name = ".";
    name += KeptStart(targetName);
    name += '.';
    name += unforeseeable;
    name += Ending;
    return name;
}

bool IsTemporaryNameFor(std::string_view entry, std::string_view targetName) {
    const std::string start = TemporaryNameFor(targetName, "");
    const std::string_view head(start.data(), start.size() - Ending.size());
    if (entry.size() != start.size() + UnforeseeableLength || !entry.starts_with(head) ||
        !entry.ends_with(Ending)) {
        return false;
    }
    const std::string_view unforeseeable = entry.substr(head.size(), UnforeseeableLength);
    return std::all_of(unforeseeable.begin(), unforeseeable.end(), [](char c) {
        return UnforeseeableLetters.find(c) != std::string_view::npos;
    });
}
