// The Win32 registry itself, through the W functions: names and text values are UTF-8 of ours
// and UTF-16 in the registry.
//
// A transaction changes the registry at once and keeps what each change replaced; without Commit
// it puts that back, newest first. So a failure on the way leaves the registry as it was, but
// others see the changes before Commit and a crash in between leaves them (the registry's own
// transactions are not there under Wine).

#include "platform/Errors.h"
#include "platform/registry/Registry.h"
#include "platform/text/WideTextWin.h"

#include <functional>
#include <windows.h>

namespace fs = std::filesystem;

// The steps that take a transaction's changes back, oldest first.
struct UndoLog {
    std::vector<std::function<void()>> steps;
};

// Deleting a tree needs DELETE beside the rights to read and write.
constexpr REGSAM ChangeRights = KEY_READ | KEY_WRITE | DELETE;

struct RegistryKey::Impl {
    HKEY key = nullptr;
    // Opened with write rights on the first change of a key opened for reading.
    HKEY writable = nullptr;
    std::vector<std::string> levels;
    // Set for a key of a transaction.
    std::shared_ptr<UndoLog> undo;

    // The key with the rights to change it; null when they are refused.
    HKEY writableKey() {
        if (!writable && RegOpenKeyExW(key, L"", 0, ChangeRights, &writable) != ERROR_SUCCESS) {
            writable = nullptr;
        }
        return writable;
    }

    ~Impl() {
        if (writable && writable != key) {
            RegCloseKey(writable);
        }
        RegCloseKey(key);
    }
};

namespace {

HKEY RootHandle(RegistryRoot root) {
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(0x80000000u + static_cast<unsigned>(root)));
}

// The kinds of text, as the .reg format has them too; any other type passes as raw bytes.
bool IsText(uint32_t type) {
    return type == RegType::Sz || type == RegType::ExpandSz || type == RegType::MultiSz;
}

// Text values hold UTF-8 with their closing NUL on our side and UTF-16 in the registry.
std::string StoredBytes(uint32_t type, std::string_view data) {
    if (!IsText(type)) {
        return std::string(data);
    }
    const std::wstring wide = Widen(data);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

std::string OurBytes(uint32_t type, const std::string& stored) {
    if (!IsText(type)) {
        return stored;
    }
    const std::wstring_view wide(reinterpret_cast<const wchar_t*>(stored.data()),
                                 stored.size() / sizeof(wchar_t));
    return Narrow(wide);
}

[[noreturn]] void FailSet(std::string_view name) {
    throw RegistryError("Fehler beim Setzen der Daten für '" + std::string(name) + "'");
}

[[noreturn]] void FailDelete(std::string_view name) {
    throw RegistryError("Fehler beim Löschen von '" + std::string(name) + "'");
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The names of the sub-keys or of the values, in the registry's order.
std::vector<std::wstring> NamesOf(HKEY key, bool values) {
    std::vector<std::wstring> names;
    DWORD maxKeyLength = 0;
    DWORD maxValueLength = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxKeyLength, nullptr, nullptr,
                         &maxValueLength, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::wstring buffer((values ? maxValueLength : maxKeyLength) + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LSTATUS status = values ? RegEnumValueW(key, index, buffer.data(), &length, nullptr,
                                                      nullptr, nullptr, nullptr)
                                      : RegEnumKeyExW(key, index, buffer.data(), &length, nullptr,
                                                      nullptr, nullptr, nullptr);
        // A name added meanwhile may be longer than the longest one was.
        if (status == ERROR_MORE_DATA) {
            buffer.resize(buffer.size() * 2);
            --index;
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(buffer.data(), length);
    }
}

std::vector<std::wstring> SubKeysOf(HKEY key) {
    return NamesOf(key, false);
}

std::vector<std::wstring> ValueNamesOf(HKEY key) {
    return NamesOf(key, true);
}

// The name as the value was created; the registry finds it in any case.
std::wstring StoredValueName(HKEY key, const std::wstring& name) {
    for (const std::wstring& stored : ValueNamesOf(key)) {
        if (SameName(stored, name)) {
            return stored;
        }
    }
    return name;
}

std::optional<RegistryValue> ReadValue(HKEY key, const std::wstring& name) {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::string stored;
    // A value may grow between the two calls.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        stored.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(stored.data()), &size);
        if (status == ERROR_SUCCESS) {
            stored.resize(size);
            return RegistryValue{Narrow(name), type, OurBytes(type, stored)};
        }
    }
    return std::nullopt;
}

std::wstring WidePath(std::string_view path) {
    return Widen(JoinKeyPath(SplitKeyPath(path)));
}

// A value as the registry holds it, to be put back byte for byte.
struct RawValue {
    std::wstring name;
    DWORD type = 0;
    std::string bytes;
};

std::optional<RawValue> ReadRaw(HKEY key, const std::wstring& name) {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::string bytes;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        bytes.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (status == ERROR_SUCCESS) {
            bytes.resize(size);
            return RawValue{name, type, bytes};
        }
    }
    return std::nullopt;
}

// Puts back what a key held before: the value as it was, or no value.
void Restore(RegistryRoot root, const std::wstring& path, const std::wstring& name,
             const std::optional<RawValue>& before) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootHandle(root), path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    if (before) {
        RegSetValueExW(key, name.c_str(), 0, before->type,
                       reinterpret_cast<const BYTE*>(before->bytes.data()),
                       static_cast<DWORD>(before->bytes.size()));
    } else {
        RegDeleteValueW(key, name.c_str());
    }
    RegCloseKey(key);
}

// A key and every key below it with their values, parents first.
struct SavedKey {
    std::wstring path;
    std::vector<RawValue> values;
};

void SaveTree(RegistryRoot root, const std::wstring& path, std::vector<SavedKey>& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootHandle(root), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    SavedKey saved{path, {}};
    for (const std::wstring& name : ValueNamesOf(key)) {
        if (auto value = ReadRaw(key, name)) {
            saved.values.push_back(std::move(*value));
        }
    }
    const std::vector<std::wstring> subKeys = SubKeysOf(key);
    RegCloseKey(key);
    out.push_back(std::move(saved));
    for (const std::wstring& sub : subKeys) {
        SaveTree(root, path + L"\\" + sub, out);
    }
}

void RestoreTree(RegistryRoot root, const std::vector<SavedKey>& tree) {
    for (const SavedKey& saved : tree) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(RootHandle(root), saved.path.c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            continue;
        }
        for (const RawValue& value : saved.values) {
            RegSetValueExW(key, value.name.c_str(), 0, value.type,
                           reinterpret_cast<const BYTE*>(value.bytes.data()),
                           static_cast<DWORD>(value.bytes.size()));
        }
        RegCloseKey(key);
    }
}

// The shortest leading part of the path that does not exist yet; empty when all of it does.
std::wstring FirstMissingLevel(RegistryRoot root, const std::vector<std::string>& levels) {
    std::vector<std::string> leading;
    for (const std::string& level : levels) {
        leading.push_back(level);
        const std::wstring path = Widen(JoinKeyPath(leading));
        HKEY key = nullptr;
        if (RegOpenKeyExW(RootHandle(root), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return path;
        }
        RegCloseKey(key);
    }
    return {};
}

} // namespace

fs::path RegistryHivePath() {
    return {};
}

std::optional<fs::path> TakeMovedAsideHive() {
    return std::nullopt;
}

std::optional<fs::path> TakeForeignHive() {
    return std::nullopt;
}

RegistryKey::RegistryKey(RegistryRoot root, std::unique_ptr<Impl> impl)
    : root_(root), impl_(std::move(impl)) {}

RegistryKey::~RegistryKey() = default;

std::unique_ptr<RegistryKey> RegistryKey::Open(RegistryRoot root, std::string_view path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootHandle(root), WidePath(path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->key = key;
    impl->levels = SplitKeyPath(path);
    return std::unique_ptr<RegistryKey>(new RegistryKey(root, std::move(impl)));
}

std::unique_ptr<RegistryKey> RegistryKey::Create(RegistryRoot root, std::string_view path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(RootHandle(root), WidePath(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, ChangeRights, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->key = key;
    impl->writable = key;
    impl->levels = SplitKeyPath(path);
    return std::unique_ptr<RegistryKey>(new RegistryKey(root, std::move(impl)));
}

std::unique_ptr<RegistryKey> RegistryKey::OpenSubKey(std::string_view path) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(impl_->key, WidePath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->key = key;
    impl->levels = impl_->levels;
    for (std::string& level : SplitKeyPath(path)) {
        impl->levels.push_back(std::move(level));
    }
    impl->undo = impl_->undo;
    return std::unique_ptr<RegistryKey>(new RegistryKey(root_, std::move(impl)));
}

// The registry keeps the case a level was created with; the path asked for may differ.
std::string RegistryKey::Path() const {
    std::vector<std::string> stored;
    HKEY parent = RootHandle(root_);
    HKEY opened = nullptr;
    for (const std::string& level : impl_->levels) {
        const std::wstring wanted = Widen(level);
        std::wstring name = wanted;
        for (const std::wstring& candidate : SubKeysOf(parent)) {
            if (SameName(candidate, wanted)) {
                name = candidate;
                break;
            }
        }
        stored.push_back(Narrow(name));
        HKEY next = nullptr;
        const bool found = RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &next) == ERROR_SUCCESS;
        if (opened) {
            RegCloseKey(opened);
        }
        opened = found ? next : nullptr;
        parent = next;
        if (!found) {
            break;
        }
    }
    if (opened) {
        RegCloseKey(opened);
    }
    for (size_t i = stored.size(); i < impl_->levels.size(); ++i) {
        stored.push_back(impl_->levels[i]);
    }
    return JoinKeyPath(stored);
}

std::optional<RegistryValue> RegistryKey::QueryValue(std::string_view name) const {
    auto value = ReadValue(impl_->key, Widen(name));
    if (value) {
        value->name = Narrow(StoredValueName(impl_->key, Widen(name)));
    }
    return value;
}

void RegistryKey::SetValue(std::string_view name, uint32_t type, std::string_view data) {
    const HKEY key = impl_->writableKey();
    const std::string bytes = StoredBytes(type, data);
    const std::wstring wideName = Widen(name);
    // The name as stored, so that taking the change back keeps its case.
    const std::wstring stored = key ? StoredValueName(key, wideName) : wideName;
    const std::optional<RawValue> before = key ? ReadRaw(key, stored) : std::nullopt;
    if (!key ||
        RegSetValueExW(key, wideName.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
        FailSet(name);
    }
    if (impl_->undo) {
        impl_->undo->steps.push_back([root = root_, path = Widen(JoinKeyPath(impl_->levels)),
                                      stored, before] { Restore(root, path, stored, before); });
    }
}

bool RegistryKey::DeleteValue(std::string_view name) {
    const HKEY key = impl_->writableKey();
    if (!key) {
        FailDelete(name);
    }
    const std::wstring wideName = Widen(name);
    const std::wstring stored = StoredValueName(key, wideName);
    const std::optional<RawValue> before = ReadRaw(key, stored);
    const LSTATUS status = RegDeleteValueW(key, wideName.c_str());
    if (status == ERROR_FILE_NOT_FOUND) {
        return false;
    }
    if (status != ERROR_SUCCESS) {
        FailDelete(name);
    }
    if (impl_->undo) {
        impl_->undo->steps.push_back([root = root_, path = Widen(JoinKeyPath(impl_->levels)),
                                      stored, before] { Restore(root, path, stored, before); });
    }
    return true;
}

bool RegistryKey::DeleteSubKeyTree(std::string_view name) {
    const std::wstring path = WidePath(name);
    if (path.empty()) {
        return false;
    }
    HKEY child = nullptr;
    if (RegOpenKeyExW(impl_->key, path.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(child);
    std::vector<SavedKey> tree;
    if (impl_->undo) {
        const std::wstring own = Widen(JoinKeyPath(impl_->levels));
        SaveTree(root_, own.empty() ? path : own + L"\\" + path, tree);
    }
    const HKEY key = impl_->writableKey();
    if (!key || RegDeleteTreeW(key, path.c_str()) != ERROR_SUCCESS) {
        FailDelete(name);
    }
    if (impl_->undo) {
        impl_->undo->steps.push_back([root = root_, tree] { RestoreTree(root, tree); });
    }
    return true;
}

std::vector<std::string> RegistryKey::SubKeyNames() const {
    std::vector<std::string> names;
    for (const std::wstring& name : SubKeysOf(impl_->key)) {
        names.push_back(Narrow(name));
    }
    return names;
}

std::vector<RegistryValue> RegistryKey::Values() const {
    std::vector<RegistryValue> values;
    for (const std::wstring& name : ValueNamesOf(impl_->key)) {
        if (auto value = ReadValue(impl_->key, name)) {
            values.push_back(std::move(*value));
        }
    }
    return values;
}

struct RegistryTransaction::Impl {
    std::shared_ptr<UndoLog> undo = std::make_shared<UndoLog>();
};

RegistryTransaction::RegistryTransaction(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

RegistryTransaction::~RegistryTransaction() {
    auto& steps = impl_->undo->steps;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        (*step)();
    }
}

std::unique_ptr<RegistryTransaction> RegistryTransaction::Begin() {
    return std::unique_ptr<RegistryTransaction>(new RegistryTransaction(std::make_unique<Impl>()));
}

std::unique_ptr<RegistryKey> RegistryTransaction::Open(RegistryRoot root, std::string_view path) {
    auto key = RegistryKey::Open(root, path);
    if (key) {
        key->impl_->undo = impl_->undo;
    }
    return key;
}

std::unique_ptr<RegistryKey> RegistryTransaction::Create(RegistryRoot root, std::string_view path) {
    const std::wstring missing = FirstMissingLevel(root, SplitKeyPath(path));
    auto key = RegistryKey::Create(root, path);
    if (!key) {
        return nullptr;
    }
    key->impl_->undo = impl_->undo;
    if (!missing.empty()) {
        impl_->undo->steps.push_back(
            [root, missing] { RegDeleteTreeW(RootHandle(root), missing.c_str()); });
    }
    return key;
}

// The changes are in the registry already; only what would take them back goes.
void RegistryTransaction::Commit() {
    impl_->undo->steps.clear();
}
