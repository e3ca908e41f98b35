#include "support/VexFiles.h"

#include "platform/files/Files.h"
#include "support/VexStrings.h"

std::string ProgramDir;

std::string GetLongPath(const std::string& path) {
    std::string result;
    const int n = TokenCount(path, "/");
    for (int i = 1; i <= n; ++i) {
        const std::string component = GetToken(path, "/", i);
        if (component.size() >= 3) {
            result += StoredEntryName(result, component).value_or(component);
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
    const std::string exe = ExecutablePath();
    const std::size_t slash = exe.rfind('/');
    ProgramDir = slash == std::string::npos ? std::string() : GetLongPath(exe.substr(0, slash + 1));
}

void VexFilesShutdown() {
    ProgramDir.clear();
}
