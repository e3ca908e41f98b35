#pragma once
// The registry: root keys, keys opened by path, typed values. Key and value names compare
// without regard to letter case and keep the case they were created with. On Windows it is the
// system's registry, which enumerates in its own order (Wine: sorted by name); where the system
// has none (POSIX) it is a hive file of ours, one per user, which enumerates in creation order.

#include "platform/registry/RegistryTypes.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The hive file: $XDG_CONFIG_HOME/lirn-quarn/registry.db, or ~/.config/lirn-quarn/registry.db;
// empty on Windows, whose registry is the system's own.
std::filesystem::path RegistryHivePath();

// A hive file that held no hive is moved aside and a fresh one started. The first call after
// such a move gives the path the old file was moved to; later calls give nothing until the next.
std::optional<std::filesystem::path> TakeMovedAsideHive();

// A hive, or the folder that holds it, that belongs to another user is not used: reads give
// nothing and nothing is written there. The first call after such a hive was met gives the path
// of what belongs to the other user; later calls give nothing, for the rest of the run. A system
// whose registry is the user's own never gives anything.
std::optional<std::filesystem::path> TakeForeignHive();

// One open key. Reads never throw; a change that cannot be stored throws RegistryError.
class RegistryKey {
public:
    // The key below root at path (levels separated by backslashes; a leading backslash and an
    // empty path mean the root itself); nullptr when it does not exist or the hive is unreadable.
    static std::unique_ptr<RegistryKey> Open(RegistryRoot root, std::string_view path);
    // As Open, creating missing levels; nullptr when the hive cannot be written.
    static std::unique_ptr<RegistryKey> Create(RegistryRoot root, std::string_view path);

    ~RegistryKey();

    // The key below this one at path (levels separated by backslashes), sharing what this key
    // holds open; nullptr when it does not exist.
    std::unique_ptr<RegistryKey> OpenSubKey(std::string_view path) const;
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
    friend class RegistryTransaction;

    // What the platform keeps of an open key.
    struct Impl;

    RegistryKey(RegistryRoot root, std::unique_ptr<Impl> impl);

    RegistryRoot root_;
    std::unique_ptr<Impl> impl_;
};

// A group of changes to the hive that is stored whole or not at all: a failure on the way, a
// crash, or the end of the transaction without Commit leaves the hive as it was. Only the keys
// opened and created through it take part; others may not see its changes before Commit, and
// other writers may have to wait until it ends. Its keys must not outlive it.
class RegistryTransaction {
public:
    // nullptr when the hive cannot be written.
    static std::unique_ptr<RegistryTransaction> Begin();
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // As RegistryKey::Open and RegistryKey::Create, within the transaction.
    std::unique_ptr<RegistryKey> Open(RegistryRoot root, std::string_view path);
    std::unique_ptr<RegistryKey> Create(RegistryRoot root, std::string_view path);

    // Stores every change at once; throws RegistryError when they cannot be stored, and the hive
    // then stays as it was.
    void Commit();

private:
    // What the platform keeps of an open transaction.
    struct Impl;

    explicit RegistryTransaction(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
};
