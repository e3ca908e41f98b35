#include "support/VexFiles.h"

#include "platform/files/Files.h"
#include "platform/text/Text.h"

std::string ProgramDir;

namespace {

// The server and the share of a path that begins with two separators are names of the network,
// not entries of a folder.
bool IsServerOrShare(const std::string& resultSoFar, int component) {
    return PathsHaveDrivesAndShares && component <= 4 && resultSoFar.size() >= 2 &&
           IsPathSeparator(resultSoFar[0]) && IsPathSeparator(resultSoFar[1]);
}

// A drive is written in capitals ("c:" becomes "C:").
std::string AsWritten(const std::string& component) {
    const bool drive = PathsHaveDrivesAndShares && component.find(':') != std::string::npos;
    return drive ? UpperAscii(component) : component;
}

} // namespace

// Every separator of the system splits, "/" too on Windows, and stays as it was written: a
// component that held one would otherwise be looked up whole and replaced by its last part.
std::string GetLongPath(const std::string& path) {
    std::string result;
    int component = 0;
    for (size_t start = 0;;) {
        size_t end = start;
        while (end < path.size() && !IsPathSeparator(path[end])) {
            ++end;
        }
        const std::string piece = path.substr(start, end - start);
        ++component;
        if (piece.size() >= 3 && !IsServerOrShare(result, component)) {
            result += StoredEntryName(result, piece).value_or(piece);
        } else {
            result += AsWritten(piece);
        }
        if (end == path.size()) {
            return result;
        }
        result += path[end];
        start = end + 1;
    }
}

void VexFilesStartup() {
    const std::string exe = ExecutablePath();
    const std::size_t last = exe.rfind(PathSeparator);
    ProgramDir = last == std::string::npos ? std::string() : GetLongPath(exe.substr(0, last + 1));
}

void VexFilesShutdown() {
    ProgramDir.clear();
}
