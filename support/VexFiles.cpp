#include "support/VexFiles.h"

#include "platform/text/Text.h"
#include "support/VexStrings.h"

#include <dirent.h>
#include <memory>
#include <optional>
#include <unistd.h>

std::string ProgramDir;

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The name under which folder stores name: the exact entry if there is one, else the first
// entry that differs only in letter case; nothing when the folder cannot be listed or lacks it.
std::optional<std::string> storedName(const std::string& folder, const std::string& name) {
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) {
        return std::nullopt;
    }
    std::optional<std::string> caseMatch;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view entryName(entry->d_name);
        if (entryName == name) {
            return name;
        }
        if (!caseMatch && EqualsIgnoringAsciiCase(entryName, name)) {
            caseMatch = std::string(entryName);
        }
    }
    return caseMatch;
}

std::string executablePath() {
    std::string buffer(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

} // namespace

std::string GetLongPath(const std::string& path) {
    std::string result;
    const int n = TokenCount(path, "/");
    for (int i = 1; i <= n; ++i) {
        const std::string component = GetToken(path, "/", i);
        if (component.size() >= 3) {
            result += storedName(result, component).value_or(component);
        } else {
            result += component;
        }
        if (i < n) {
            result += '/';
        }
    }
    return result;
}

void VexFilesStartup() {
    const std::string exe = executablePath();
    const std::size_t slash = exe.rfind('/');
    ProgramDir = slash == std::string::npos ? std::string() : GetLongPath(exe.substr(0, slash + 1));
}

void VexFilesShutdown() {
    ProgramDir.clear();
}
