#pragma once
// The hive file that holds the registry where the system has none: opened, checked and, when it
// holds no hive, moved aside for a fresh one.

#include "platform/registry/RegistryTypes.h"
#include "platform/registry/SqlitePosix.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

// What of the hive at file belongs to another user: its folder, the file or its journal. Ours
// are tightened on the way when others may read or write them: the folder to 0700, the files to
// owner-only modes that keep the owner's bits.
std::optional<std::filesystem::path> ForeignPartOfHive(const std::filesystem::path& file);

class RegistryHive {
public:
    // nullptr when there is no hive yet or it cannot be read.
    static std::unique_ptr<RegistryHive> OpenForReading(const std::filesystem::path& file);
    // Creates the folder and the file when missing; nullptr when the hive cannot be written. A
    // file that holds no hive is moved aside first, and movedAside says where to.
    static std::unique_ptr<RegistryHive>
    OpenForWriting(const std::filesystem::path& file,
                   std::optional<std::filesystem::path>& movedAside);

    explicit RegistryHive(std::unique_ptr<SqliteDb> db) : db_(std::move(db)) {}

    SqliteDb& db() { return *db_; }
    const SqliteDb& db() const { return *db_; }

    // The key id of a root; the keys below it have higher ids.
    static int64_t RootId(RegistryRoot root) { return static_cast<int64_t>(root) + 1; }

private:
    std::unique_ptr<SqliteDb> db_;
};
