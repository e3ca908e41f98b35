#include "platform/registry/Registry.h"

#include "platform/Errors.h"
#include "platform/registry/RegistryHive.h"

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

constexpr std::array<const char*, 5> TypeNames{"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY",
                                               "REG_DWORD"};

std::vector<std::string> SplitPath(std::string_view path) {
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

std::optional<int64_t> FindChild(const SqliteDb& db, int64_t parent, std::string_view name) {
    SqliteStatement find(db, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    find.bind(1, parent).bindText(2, FoldName(name));
    if (!find.step()) {
        return std::nullopt;
    }
    return find.columnInt(0);
}

std::optional<int64_t> FindPath(const SqliteDb& db, int64_t id, std::string_view path) {
    for (const std::string& level : SplitPath(path)) {
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
    for (const std::string& level : SplitPath(path)) {
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

RegistryKey::RegistryKey(std::unique_ptr<RegistryHive> hive, RegistryRoot root, int64_t id)
    : hive_(std::move(hive)), root_(root), id_(id) {}

RegistryKey::~RegistryKey() = default;

std::unique_ptr<RegistryKey> RegistryKey::Open(RegistryRoot root, std::string_view path) {
    auto hive = RegistryHive::OpenForReading();
    if (!hive) {
        return nullptr;
    }
    try {
        const auto id = FindPath(hive->db(), RegistryHive::RootId(root), path);
        if (!id) {
            return nullptr;
        }
        return std::unique_ptr<RegistryKey>(new RegistryKey(std::move(hive), root, *id));
    } catch (const SqliteFailure&) {
        return nullptr;
    }
}

std::unique_ptr<RegistryKey> RegistryKey::Create(RegistryRoot root, std::string_view path) {
    auto hive = RegistryHive::OpenForWriting();
    if (!hive) {
        return nullptr;
    }
    try {
        const int64_t id = CreatePath(hive->db(), RegistryHive::RootId(root), path);
        return std::unique_ptr<RegistryKey>(new RegistryKey(std::move(hive), root, id));
    } catch (const SqliteFailure&) {
        return nullptr;
    }
}

std::string RegistryKey::Path() const {
    try {
        SqliteStatement up(hive_->db(), "SELECT parent, name FROM keys WHERE id = ?");
        std::string path;
        for (int64_t id = id_; id > RegistryRootCount;) {
            up.bind(1, id);
            if (!up.step()) {
                break;
            }
            const std::string name = up.columnText(1);
            path = path.empty() ? name : name + "\\" + path;
            id = up.columnInt(0);
            up.reset();
        }
        return path;
    } catch (const SqliteFailure&) {
        return {};
    }
}

std::string RegistryKey::FullName() const {
    const std::string path = Path();
    return path.empty() ? RootKeyName(root_) : RootKeyName(root_) + "\\" + path;
}

std::optional<RegistryValue> RegistryKey::QueryValue(std::string_view name) const {
    try {
        SqliteStatement find(hive_->db(),
                             "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
        find.bind(1, id_).bindText(2, FoldName(name));
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
    if (hive_->db().readOnly()) {
        FailSet(name);
    }
    try {
        SqliteTransaction transaction(hive_->db());
        if (!KeyExists(hive_->db(), id_)) {
            FailSet(name);
        }
        WriteValue(hive_->db(), id_, name, type, data);
        transaction.commit();
    } catch (const SqliteFailure&) {
        FailSet(name);
    }
}

bool RegistryKey::DeleteValue(std::string_view name) {
    try {
        SqliteTransaction transaction(hive_->db());
        SqliteStatement remove(hive_->db(), "DELETE FROM vals WHERE key = ? AND fold = ?");
        remove.bind(1, id_).bindText(2, FoldName(name));
        remove.run();
        const bool removed = QueryInt(hive_->db(), "SELECT changes()").value_or(0) > 0;
        transaction.commit();
        return removed;
    } catch (const SqliteFailure&) {
        FailDelete(name);
    }
}

bool RegistryKey::DeleteSubKeyTree(std::string_view name) {
    try {
        SqliteTransaction transaction(hive_->db());
        const auto child = FindPath(hive_->db(), id_, name);
        if (!child || *child == id_) {
            return false;
        }
        SqliteStatement remove(hive_->db(), "DELETE FROM keys WHERE id = ?");
        remove.bind(1, *child);
        remove.run();
        transaction.commit();
        return true;
    } catch (const SqliteFailure&) {
        FailDelete(name);
    }
}

size_t RegistryKey::SubKeyCount() const {
    return SubKeyNames().size();
}

size_t RegistryKey::ValueCount() const {
    return Values().size();
}

std::vector<std::string> RegistryKey::SubKeyNames() const {
    std::vector<std::string> names;
    try {
        SqliteStatement list(hive_->db(), "SELECT name FROM keys WHERE parent = ? ORDER BY id");
        list.bind(1, id_);
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
        SqliteStatement list(hive_->db(),
                             "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id");
        list.bind(1, id_);
        while (list.step()) {
            values.push_back(
                {list.columnText(0), static_cast<uint32_t>(list.columnInt(1)), list.columnBlob(2)});
        }
    } catch (const SqliteFailure&) {
        values.clear();
    }
    return values;
}
