// The registry kept in the user's hive file.

#include "platform/Errors.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryHivePosix.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

// Keys opened from one another, or within one transaction, share one connection to the hive.
struct RegistryKey::Impl {
    std::shared_ptr<RegistryHive> hive;
    int64_t id;

    SqliteDb& db() { return hive->db(); }
    const SqliteDb& db() const { return hive->db(); }
};

struct RegistryTransaction::Impl {
    std::shared_ptr<RegistryHive> hive;
    SqliteTransaction transaction;
};

namespace {

// Kept until TakeMovedAsideHive hands it out.
std::optional<fs::path> LastMovedAsideHive;
// Kept until TakeForeignHive hands it out; each foreign hive is told once a run.
std::optional<fs::path> LastForeignHive;
std::optional<fs::path> ToldForeignHive;

bool HiveIsOurs(const fs::path& file) {
    const auto foreign = ForeignPartOfHive(file);
    if (foreign && foreign != ToldForeignHive) {
        ToldForeignHive = foreign;
        LastForeignHive = foreign;
    }
    return !foreign;
}

std::unique_ptr<RegistryHive> HiveForReading() {
    const fs::path file = RegistryHivePath();
    return HiveIsOurs(file) ? RegistryHive::OpenForReading(file) : nullptr;
}

std::unique_ptr<RegistryHive> HiveForWriting() {
    const fs::path file = RegistryHivePath();
    if (!HiveIsOurs(file)) {
        return nullptr;
    }
    std::optional<fs::path> movedAside;
    auto hive = RegistryHive::OpenForWriting(file, movedAside);
    if (movedAside) {
        LastMovedAsideHive = movedAside;
    }
    return hive;
}

std::optional<int64_t> FindChild(const SqliteDb& db, int64_t parent, std::string_view name) {
    SqliteStatement find(db, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    find.bind(1, parent).bindText(2, FoldName(name));
    if (!find.step()) {
        return std::nullopt;
    }
    return find.columnInt(0);
}

std::optional<int64_t> FindPath(const SqliteDb& db, int64_t id, std::string_view path) {
    for (const std::string& level : SplitKeyPath(path)) {
        const auto child = FindChild(db, id, level);
        if (!child) {
            return std::nullopt;
        }
        id = *child;
    }
    return id;
}

int64_t CreatePath(SqliteDb& db, int64_t id, std::string_view path) {
    SqliteTransaction transaction(db);
    SqliteStatement insert(db, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
    for (const std::string& level : SplitKeyPath(path)) {
        if (const auto child = FindChild(db, id, level)) {
            id = *child;
            continue;
        }
        insert.bind(1, id).bindText(2, level).bindText(3, FoldName(level));
        insert.run();
        insert.reset();
        id = QueryInt(db, "SELECT last_insert_rowid()").value_or(0);
    }
    transaction.commit();
    return id;
}

bool KeyExists(const SqliteDb& db, int64_t id) {
    SqliteStatement find(db, "SELECT 1 FROM keys WHERE id = ?");
    find.bind(1, id);
    return find.step();
}

// An unchanged value leaves the file untouched: every read writes its default back.
void WriteValue(const SqliteDb& db, int64_t key, std::string_view name, uint32_t type,
                std::string_view data) {
    SqliteStatement find(db, "SELECT id, type, data FROM vals WHERE key = ? AND fold = ?");
    find.bind(1, key).bindText(2, FoldName(name));
    if (!find.step()) {
        SqliteStatement insert(db, "INSERT INTO vals(key, name, fold, type, data) "
                                   "VALUES(?, ?, ?, ?, ?)");
        insert.bind(1, key).bindText(2, name).bindText(3, FoldName(name)).bind(4, type);
        insert.bindBlob(5, data);
        insert.run();
        return;
    }
    if (find.columnInt(1) == type && find.columnBlob(2) == data) {
        return;
    }
    SqliteStatement update(db, "UPDATE vals SET type = ?, data = ? WHERE id = ?");
    update.bind(1, type).bindBlob(2, data).bind(3, find.columnInt(0));
    update.run();
}

[[noreturn]] void FailSet(std::string_view name) {
    throw RegistryError("Fehler beim Setzen der Daten für '" + std::string(name) + "'");
}

[[noreturn]] void FailDelete(std::string_view name) {
    throw RegistryError("Fehler beim Löschen von '" + std::string(name) + "'");
}

} // namespace

fs::path RegistryHivePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* entry = getpwuid(getuid());
            home = entry ? entry->pw_dir : "/";
        }
        base = fs::path(home) / ".config";
    }
    return base / "lirn-quarn" / "registry.db";
}

std::optional<fs::path> TakeMovedAsideHive() {
    return std::exchange(LastMovedAsideHive, std::nullopt);
}

std::optional<fs::path> TakeForeignHive() {
    return std::exchange(LastForeignHive, std::nullopt);
}

RegistryKey::RegistryKey(RegistryRoot root, std::unique_ptr<Impl> impl)
    : root_(root), impl_(std::move(impl)) {}

RegistryKey::~RegistryKey() = default;

std::unique_ptr<RegistryKey> RegistryKey::Open(RegistryRoot root, std::string_view path) {
    std::shared_ptr<RegistryHive> hive = HiveForReading();
    if (!hive) {
        return nullptr;
    }
    RegistryKey rootKey(root,
                        std::make_unique<Impl>(Impl{std::move(hive), RegistryHive::RootId(root)}));
    return rootKey.OpenSubKey(path);
}

std::unique_ptr<RegistryKey> RegistryKey::Create(RegistryRoot root, std::string_view path) {
    std::shared_ptr<RegistryHive> hive = HiveForWriting();
    if (!hive) {
        return nullptr;
    }
    try {
        const int64_t id = CreatePath(hive->db(), RegistryHive::RootId(root), path);
        return std::unique_ptr<RegistryKey>(
            new RegistryKey(root, std::make_unique<Impl>(Impl{std::move(hive), id})));
    } catch (const SqliteFailure&) {
        return nullptr;
    }
}

std::unique_ptr<RegistryKey> RegistryKey::OpenSubKey(std::string_view path) const {
    try {
        const auto id = FindPath(impl_->db(), impl_->id, path);
        if (!id) {
            return nullptr;
        }
        return std::unique_ptr<RegistryKey>(
            new RegistryKey(root_, std::make_unique<Impl>(Impl{impl_->hive, *id})));
    } catch (const SqliteFailure&) {
        return nullptr;
    }
}

std::string RegistryKey::Path() const {
    try {
        SqliteStatement up(impl_->db(), "SELECT parent, name FROM keys WHERE id = ?");
        std::vector<std::string> levels;
        for (int64_t id = impl_->id; id > RegistryRootCount;) {
            up.bind(1, id);
            if (!up.step()) {
                break;
            }
            levels.insert(levels.begin(), up.columnText(1));
            id = up.columnInt(0);
            up.reset();
        }
        return JoinKeyPath(levels);
    } catch (const SqliteFailure&) {
        return {};
    }
}

std::optional<RegistryValue> RegistryKey::QueryValue(std::string_view name) const {
    try {
        SqliteStatement find(impl_->db(),
                             "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
        find.bind(1, impl_->id).bindText(2, FoldName(name));
        if (!find.step()) {
            return std::nullopt;
        }
        return RegistryValue{find.columnText(0), static_cast<uint32_t>(find.columnInt(1)),
                             find.columnBlob(2)};
    } catch (const SqliteFailure&) {
        return std::nullopt;
    }
}

void RegistryKey::SetValue(std::string_view name, uint32_t type, std::string_view data) {
    if (impl_->db().readOnly()) {
        FailSet(name);
    }
    try {
        SqliteTransaction transaction(impl_->db());
        if (!KeyExists(impl_->db(), impl_->id)) {
            FailSet(name);
        }
        WriteValue(impl_->db(), impl_->id, name, type, data);
        transaction.commit();
    } catch (const SqliteFailure&) {
        FailSet(name);
    }
}

bool RegistryKey::DeleteValue(std::string_view name) {
    try {
        SqliteTransaction transaction(impl_->db());
        SqliteStatement remove(impl_->db(), "DELETE FROM vals WHERE key = ? AND fold = ?");
        remove.bind(1, impl_->id).bindText(2, FoldName(name));
        remove.run();
        const bool removed = QueryInt(impl_->db(), "SELECT changes()").value_or(0) > 0;
        transaction.commit();
        return removed;
    } catch (const SqliteFailure&) {
        FailDelete(name);
    }
}

bool RegistryKey::DeleteSubKeyTree(std::string_view name) {
    try {
        SqliteTransaction transaction(impl_->db());
        const auto child = FindPath(impl_->db(), impl_->id, name);
        if (!child || *child == impl_->id) {
            return false;
        }
        SqliteStatement remove(impl_->db(), "DELETE FROM keys WHERE id = ?");
        remove.bind(1, *child);
        remove.run();
        transaction.commit();
        return true;
    } catch (const SqliteFailure&) {
        FailDelete(name);
    }
}

std::vector<std::string> RegistryKey::SubKeyNames() const {
    std::vector<std::string> names;
    try {
        SqliteStatement list(impl_->db(), "SELECT name FROM keys WHERE parent = ? ORDER BY id");
        list.bind(1, impl_->id);
        while (list.step()) {
            names.push_back(list.columnText(0));
        }
    } catch (const SqliteFailure&) {
        names.clear();
    }
    return names;
}

std::vector<RegistryValue> RegistryKey::Values() const {
    std::vector<RegistryValue> values;
    try {
        SqliteStatement list(impl_->db(),
                             "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id");
        list.bind(1, impl_->id);
        while (list.step()) {
            values.push_back(
                {list.columnText(0), static_cast<uint32_t>(list.columnInt(1)), list.columnBlob(2)});
        }
    } catch (const SqliteFailure&) {
        values.clear();
    }
    return values;
}

RegistryTransaction::RegistryTransaction(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

RegistryTransaction::~RegistryTransaction() = default;

std::unique_ptr<RegistryTransaction> RegistryTransaction::Begin() {
    std::shared_ptr<RegistryHive> hive = HiveForWriting();
    if (!hive) {
        return nullptr;
    }
    try {
        SqliteDb& db = hive->db();
        std::unique_ptr<Impl> impl(new Impl{std::move(hive), SqliteTransaction(db)});
        return std::unique_ptr<RegistryTransaction>(new RegistryTransaction(std::move(impl)));
    } catch (const SqliteFailure&) {
        return nullptr;
    }
}

std::unique_ptr<RegistryKey> RegistryTransaction::Open(RegistryRoot root, std::string_view path) {
    const RegistryKey rootKey(root, std::make_unique<RegistryKey::Impl>(RegistryKey::Impl{
                                        impl_->hive, RegistryHive::RootId(root)}));
    return rootKey.OpenSubKey(path);
}

std::unique_ptr<RegistryKey> RegistryTransaction::Create(RegistryRoot root, std::string_view path) {
    try {
        const int64_t id = CreatePath(impl_->hive->db(), RegistryHive::RootId(root), path);
        return std::unique_ptr<RegistryKey>(new RegistryKey(
            root, std::make_unique<RegistryKey::Impl>(RegistryKey::Impl{impl_->hive, id})));
    } catch (const SqliteFailure&) {
        return nullptr;
    }
}

void RegistryTransaction::Commit() {
    try {
        impl_->transaction.commit();
    } catch (const SqliteFailure& failure) {
        throw RegistryError("Die Änderungen konnten nicht gespeichert werden (" +
                            std::string(failure.what()) + ")");
    }
}
