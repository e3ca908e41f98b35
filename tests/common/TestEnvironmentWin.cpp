#include "common/TestEnvironment.h"
#include "platform/text/WideTextWin.h"

#include <algorithm>
#include <stdexcept>
#include <windows.h>

namespace {

// Below the real HKEY_CURRENT_USER; each home's key is removed when the home goes.
constexpr const wchar_t* TestKeysParent = L"Software\\LirnQuarnTests";

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

// HKEY_CURRENT_USER of this process is a fresh key of the home's own meanwhile.
std::function<void()> IsolateUserRegistry(const ScopedTestHome& home) {
    const std::wstring name =
        std::wstring(TestKeysParent) + L"\\" + home.root().filename().wstring();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) {
        throw std::runtime_error("the test's own HKEY_CURRENT_USER could not be made");
    }
    RegCloseKey(key);
    return [name] {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str());
    };
}

std::vector<std::string> RegistryEnumerationOrder(std::vector<std::string> created) {
    std::sort(created.begin(), created.end(), [](const std::string& a, const std::string& b) {
        return CompareStringOrdinal(Widen(a).c_str(), -1, Widen(b).c_str(), -1, TRUE) ==
               CSTR_LESS_THAN;
    });
    return created;
}
