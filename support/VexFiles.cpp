#include "support/VexFiles.h"

#include "platform/files/Files.h"
#include "platform/text/Text.h"
#include "support/VexStrings.h"

std::string ProgramDir;

namespace {

// The server and the share of a path that begins with two separators are names of the network,
// not entries of a folder.
bool IsServerOrShare(const std::string& resultSoFar, int component) {
    return PathsHaveDrivesAndShares && component <= 4 && resultSoFar.size() >= 2 &&
           resultSoFar[0] == PathSeparator && resultSoFar[1] == PathSeparator;
}

// A drive is written in capitals ("c:" becomes "C:").
std::string AsWritten(const std::string& component) {
    const bool drive = PathsHaveDrivesAndShares && component.find(':') != std::string::npos;
    return drive ? UpperAscii(component) : component;
}

} // namespace

std::string GetLongPath(const std::string& path) {
    const std::string separator(1, PathSeparator);
    std::string result;
    const int n = TokenCount(path, separator);
    for (int i = 1; i <= n; ++i) {
        const std::string component = GetToken(path, separator, i);
        if (component.size() >= 3 && !IsServerOrShare(result, i)) {
            result += StoredEntryName(result, component).value_or(component);
        } else {
            result += AsWritten(component);
        }
        if (i < n) {
            result += PathSeparator;
        }
    }
    return result;
}

void VexFilesStartup() {
    const std::string exe = ExecutablePath();
    const std::size_t last = exe.rfind(PathSeparator);
    ProgramDir = last == std::string::npos ? std::string() : GetLongPath(exe.substr(0, last + 1));
}

void VexFilesShutdown() {
    ProgramDir.clear();
}
