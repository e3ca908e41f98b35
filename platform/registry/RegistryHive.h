#pragma once
// The per-user hive file: opened, checked and, when it is no hive, moved aside for a fresh one.

#include "platform/registry/Registry.h"
#include "platform/registry/Sqlite.h"

#include <cstdint>
#include <filesystem>
#include <memory>

class RegistryHive {
public:
    // nullptr when there is no hive yet or it cannot be read.
    static std::unique_ptr<RegistryHive> OpenForReading();
    // Creates the folder and the file when missing; nullptr when the hive cannot be written.
    static std::unique_ptr<RegistryHive> OpenForWriting();

    explicit RegistryHive(std::unique_ptr<SqliteDb> db) : db_(std::move(db)) {}

    SqliteDb& db() { return *db_; }
    const SqliteDb& db() const { return *db_; }

    static int64_t RootId(RegistryRoot root) { return static_cast<int64_t>(root) + 1; }

private:
    std::unique_ptr<SqliteDb> db_;
};

// ASCII lower case: the form in which names are compared.
std::string FoldName(std::string_view name);
