#pragma once
// TSettings kept in memory for tests: sections and value names compare without regard to ASCII
// case, reads write their defaults back as the registry store does, and writes can be made to
// fail with the registry layer's error.

#include "support/VexAbstract.h"

#include <map>
#include <optional>
#include <string>
#include <utility>

class MemorySettings : public TSettings {
public:
    void Flush() override {}
    std::string ReadString(const std::string& keyPath) override;
    void ReadStrings(const std::string& keyPath, TStringList& list,
                     const std::string& defaultText) override;
    void WriteString(const std::string& keyPath, const std::string& value) override;
    void WriteStrings(const std::string& keyPath, const TStringList& list, bool skipEmpty,
                      bool trimRightOnly) override;
    // Sub-sections (in lower case), then value names.
    void ListSection(const std::string& keyPath, TStringList& list) override;

    // The stored text of section/name, nothing when it does not exist.
    std::optional<std::string> Stored(const std::string& section, const std::string& name) const;
    // Counts every write, including the write-back of defaults.
    int Writes() const { return writes_; }
    // When set, every write throws RegistryError as a full or read-only hive does.
    bool FailWrites = false;

private:
    struct Entry {
        std::string name;
        std::string text;
    };
    using Key = std::pair<std::string, std::string>;

    static Key keyOf(const std::string& section, const std::string& name);
    void store(const std::string& keyPath, const std::string& text);

    std::map<Key, Entry> values_;
    int writes_ = 0;
};
