#include "common/ReadOnlyRegistry.h"
#include "platform/text/WideTextWin.h"

#include <stdexcept>
#include <string>
#include <vector>
#include <windows.h>
// After <windows.h>, which it builds on.
#include <sddl.h>

namespace {

constexpr const wchar_t* ProgramKey = L"Software\\Lirn";
// Everybody may read, and change the rights back or delete the key when the test is done.
constexpr const wchar_t* ReadOnlyRights = L"D:P(A;;KRWDSD;;;WD)";

struct SavedRights {
    std::wstring path;
    std::vector<BYTE> descriptor;
};

std::vector<std::wstring> KeyAndAllBelow(const std::wstring& path) {
    std::vector<std::wstring> paths{path};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        for (std::wstring& below : KeyAndAllBelow(path + L"\\" + std::wstring(name, length))) {
            paths.push_back(std::move(below));
        }
    }
    RegCloseKey(key);
    return paths;
}

void SetRights(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key) ==
        ERROR_SUCCESS) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
}

std::vector<BYTE> RightsOf(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, READ_CONTROL, &key) != ERROR_SUCCESS) {
        return {};
    }
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> descriptor(size);
    if (size == 0 || RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size) !=
                         ERROR_SUCCESS) {
        descriptor.clear();
    }
    RegCloseKey(key);
    return descriptor;
}

} // namespace

struct ScopedReadOnlyRegistry::Impl {
    std::vector<SavedRights> saved;
};

ScopedReadOnlyRegistry::ScopedReadOnlyRegistry() : impl_(std::make_unique<Impl>()) {
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(ReadOnlyRights, SDDL_REVISION_1,
                                                              &readOnly, nullptr)) {
        throw std::runtime_error("no read-only security descriptor");
    }
    for (const std::wstring& path : KeyAndAllBelow(ProgramKey)) {
        impl_->saved.push_back({path, RightsOf(path)});
        SetRights(path, readOnly);
    }
    LocalFree(readOnly);
}

ScopedReadOnlyRegistry::~ScopedReadOnlyRegistry() {
    for (SavedRights& saved : impl_->saved) {
        if (!saved.descriptor.empty()) {
            SetRights(saved.path, saved.descriptor.data());
        }
    }
}
