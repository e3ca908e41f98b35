#include "common/TestEnvironment.h"
#include "platform/text/WideTextWin.h"

#include <algorithm>
#include <windows.h>

namespace {

constexpr const wchar_t* ProgramKey = L"Software\\Lirn";

} // namespace

std::optional<std::string> GetEnvironment(const std::string& name) {
    const std::wstring wideName = Widen(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(length);
    return Narrow(value);
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    SetEnvironmentVariableW(Widen(name).c_str(), value ? Widen(*value).c_str() : nullptr);
}

std::vector<std::pair<std::string, std::string>> UserFolderVariables(const ScopedTestHome& home) {
    return {{"LOCALAPPDATA", home.runtimeDir().string()}, {"APPDATA", home.configDir().string()}};
}

// Programs the test starts (quarn-reg) must see the same registry, so the program's own key in
// the build's Wine prefix is emptied before and after; the Windows tests run one at a time.
std::function<void()> IsolateUserRegistry(const ScopedTestHome&) {
    RegDeleteTreeW(HKEY_CURRENT_USER, ProgramKey);
    return [] { RegDeleteTreeW(HKEY_CURRENT_USER, ProgramKey); };
}

std::vector<std::string> RegistryEnumerationOrder(std::vector<std::string> created) {
    std::sort(created.begin(), created.end(), [](const std::string& a, const std::string& b) {
        return CompareStringOrdinal(Widen(a).c_str(), -1, Widen(b).c_str(), -1, TRUE) ==
               CSTR_LESS_THAN;
    });
    return created;
}
