#include "platform/registry/RegistryTypes.h"

#include "platform/text/Text.h"

#include <array>

namespace {

struct RootNames {
    const char* longName;
    const char* shortName;
};

constexpr std::array<RootNames, RegistryRootCount> RootTable{{
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
    {"HKEY_PERFORMANCE_DATA", "HKPD"},
    {"HKEY_CURRENT_CONFIG", "HKCC"},
    {"HKEY_DYN_DATA", "HKDD"},
}};

// Indexed by type number.
constexpr std::array<const char*, RegType::Qword + 1> TypeNames{
    "REG_NONE",
    "REG_SZ",
    "REG_EXPAND_SZ",
    "REG_BINARY",
    "REG_DWORD",
    "REG_DWORD_BIG_ENDIAN",
    "REG_LINK",
    "REG_MULTI_SZ",
    "REG_RESOURCE_LIST",
    "REG_FULL_RESOURCE_DESCRIPTOR",
    "REG_RESOURCE_REQUIREMENTS_LIST",
    "REG_QWORD",
};

} // namespace

std::string RegTypeName(uint32_t type) {
    return type < TypeNames.size() ? TypeNames[type] : TypeNames[RegType::None];
}

std::optional<uint32_t> ParseRegTypeName(std::string_view name) {
    const std::string folded = FoldName(name);
    for (uint32_t type = 0; type < TypeNames.size(); ++type) {
        if (folded == FoldName(TypeNames[type])) {
            return type;
        }
    }
    return std::nullopt;
}

std::string RootKeyName(RegistryRoot root) {
    return RootTable[static_cast<size_t>(root) % RootTable.size()].longName;
}

std::string RootKeyShortName(RegistryRoot root) {
    return RootTable[static_cast<size_t>(root) % RootTable.size()].shortName;
}

std::optional<RegistryRoot> ParseRootKeyName(std::string_view name) {
    const std::string folded = FoldName(name);
    for (size_t i = 0; i < RootTable.size(); ++i) {
        if (folded == FoldName(RootTable[i].longName) ||
            folded == FoldName(RootTable[i].shortName)) {
            return static_cast<RegistryRoot>(i);
        }
    }
    return std::nullopt;
}

std::string FoldName(std::string_view name) {
    return LowerAscii(name);
}

std::vector<std::string> SplitKeyPath(std::string_view path) {
    std::vector<std::string> levels;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            levels.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return levels;
}

std::string JoinKeyPath(const std::vector<std::string>& levels) {
    std::string path;
    for (size_t i = 0; i < levels.size(); ++i) {
        path += (i == 0 ? "" : "\\") + levels[i];
    }
    return path;
}

std::string ParentKeyPath(std::string_view path) {
    std::vector<std::string> levels = SplitKeyPath(path);
    if (!levels.empty()) {
        levels.pop_back();
    }
    return JoinKeyPath(levels);
}

std::string LastKeyLevel(std::string_view path) {
    const std::vector<std::string> levels = SplitKeyPath(path);
    return levels.empty() ? std::string() : levels.back();
}

std::string DwordBytes(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

uint32_t DwordOf(std::string_view bytes) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}
