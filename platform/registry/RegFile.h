#pragma once
// The .reg text format ("Windows Registry Editor Version 5.00") and full key names such as
// HKCU\Software\Lirn\Quarn, as administrators write them.

#include "platform/registry/RegistryTypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct KeyName {
    RegistryRoot root = RegistryRoot::CurrentUser;
    std::string path; // below the root, backslash separated, no separator at either end
};

// "HKCU\Software\Lirn" or "HKEY_CURRENT_USER\Software\Lirn"; nullopt for an unknown root.
std::optional<KeyName> ParseKeyName(std::string_view text);

struct RegFileValue {
    std::string name;
    bool remove = false; // "name"=-
    uint32_t type = RegType::None;
    std::string data; // as the hive stores it
};

struct RegFileKey {
    KeyName key;
    bool remove = false; // [-key]
    std::vector<RegFileValue> values;
};

struct RegFileParse {
    std::vector<RegFileKey> keys;
    std::string error; // empty when the whole text was understood; then nothing else is set
    bool ok() const { return error.empty(); }
};

// Reads UTF-8 (with or without byte order mark) or UTF-16LE with byte order mark.
RegFileParse ParseRegFile(std::string_view bytes);

// UTF-8 with CR LF line ends; each key in the order given.
std::string FormatRegFile(const std::vector<RegFileKey>& keys);

// The data as reg.exe query shows it: text, 0x2a, hex digits.
std::string DisplayRegData(uint32_t type, std::string_view data);
