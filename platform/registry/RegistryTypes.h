#pragma once
// What every platform's registry shares: root keys, value types, the folding under which names
// compare, key paths and the bytes of a DWORD.

#include <cstdint>
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
inline constexpr uint32_t DwordBigEndian = 5;
inline constexpr uint32_t Link = 6;
inline constexpr uint32_t MultiSz = 7;
inline constexpr uint32_t ResourceList = 8;
inline constexpr uint32_t FullResourceDescriptor = 9;
inline constexpr uint32_t ResourceRequirementsList = 10;
inline constexpr uint32_t Qword = 11;
} // namespace RegType

struct RegistryValue {
    std::string name;
    uint32_t type = RegType::None;
    std::string data; // raw bytes; text types hold UTF-8 with a closing NUL

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// "REG_SZ" and so on; "REG_NONE" for numbers without a Windows name.
std::string RegTypeName(uint32_t type);
std::optional<uint32_t> ParseRegTypeName(std::string_view name);

// "HKEY_CURRENT_USER" and "HKCU".
std::string RootKeyName(RegistryRoot root);
std::string RootKeyShortName(RegistryRoot root);
// Either form, in any letter case.
std::optional<RegistryRoot> ParseRootKeyName(std::string_view name);

// ASCII lower case: the form in which key and value names are compared.
std::string FoldName(std::string_view name);

// The levels of a key path separated by backslashes; empty levels (outer and doubled
// separators) are left out.
std::vector<std::string> SplitKeyPath(std::string_view path);
// The levels joined by single backslashes.
std::string JoinKeyPath(const std::vector<std::string>& levels);
// The path without its last level, and the last level alone; both empty for an empty path.
std::string ParentKeyPath(std::string_view path);
std::string LastKeyLevel(std::string_view path);

// A DWORD's four bytes, least significant first, as the registry stores them.
std::string DwordBytes(uint32_t value);
// The number the first four bytes hold; bytes must have at least four.
uint32_t DwordOf(std::string_view bytes);
