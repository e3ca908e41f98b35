#pragma once
// The registry: root keys, keys opened by path, typed values. On POSIX the hive is one SQLite
// file per user; key and value names compare without regard to ASCII letter case and keep the
// case they were created with; enumeration follows creation order.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// In the order of the Windows root handles 0x80000000 .. 0x80000006.
enum class RegistryRoot : uint8_t {
    ClassesRoot = 0,
    CurrentUser = 1,
    LocalMachine = 2,
    Users = 3,
    PerformanceData = 4,
    CurrentConfig = 5,
    DynData = 6,
};

inline constexpr int RegistryRootCount = 7;

// Value types as the Windows registry numbers them; any other number is kept as it is.
namespace RegType {
inline constexpr uint32_t None = 0;
inline constexpr uint32_t Sz = 1;
inline constexpr uint32_t ExpandSz = 2;
inline constexpr uint32_t Binary = 3;
inline constexpr uint32_t Dword = 4;
} // namespace RegType

// "REG_SZ" and so on; "REG_NONE" for numbers without a Windows name.
std::string RegTypeName(uint32_t type);
std::optional<uint32_t> ParseRegTypeName(std::string_view name);

// "HKEY_CURRENT_USER" and "HKCU".
std::string RootKeyName(RegistryRoot root);
std::string RootKeyShortName(RegistryRoot root);
// Either form, in any letter case.
std::optional<RegistryRoot> ParseRootKeyName(std::string_view name);

struct RegistryValue {
    std::string name;
    uint32_t type = RegType::None;
    std::string data; // raw bytes; text types hold UTF-8 with a closing NUL

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// $XDG_CONFIG_HOME/lirn-quarn/registry.db, or ~/.config/lirn-quarn/registry.db.
std::filesystem::path RegistryHivePath();

class RegistryHive;

// One open key. Reads never throw; a change that cannot be stored throws RegistryError.
class RegistryKey {
public:
    // The key below root at path (levels separated by backslashes; a leading backslash and an
    // empty path mean the root itself); nullptr when it does not exist or the hive is unreadable.
    static std::unique_ptr<RegistryKey> Open(RegistryRoot root, std::string_view path);
    // As Open, creating missing levels; nullptr when the hive cannot be written.
    static std::unique_ptr<RegistryKey> Create(RegistryRoot root, std::string_view path);

    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    RegistryRoot Root() const { return root_; }
    // Levels below the root with their stored case, joined by backslashes; empty for the root.
    std::string Path() const;
    // Root name and path, as reg.exe shows a key.
    std::string FullName() const;

    std::optional<RegistryValue> QueryValue(std::string_view name) const;
    void SetValue(std::string_view name, uint32_t type, std::string_view data);
    // False when there was no such value.
    bool DeleteValue(std::string_view name);
    // Removes the sub-key with all keys and values below it; false when there was none.
    bool DeleteSubKeyTree(std::string_view name);

    size_t SubKeyCount() const;
    size_t ValueCount() const;
    std::vector<std::string> SubKeyNames() const;
    std::vector<RegistryValue> Values() const;

private:
    RegistryKey(std::unique_ptr<RegistryHive> hive, RegistryRoot root, int64_t id);

    std::unique_ptr<RegistryHive> hive_;
    RegistryRoot root_;
    int64_t id_;
};
