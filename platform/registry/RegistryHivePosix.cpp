#include "platform/registry/RegistryHivePosix.h"

#include "platform/files/FileDescriptorPosix.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int64_t HiveApplicationId = 0x4C51524E; // "LQRN"
constexpr int64_t HiveSchemaVersion = 1;

enum class HiveState { Ready, Fresh, Newer, Invalid };

// Call within a transaction: another process may be initialising the file between two reads.
HiveState Inspect(const SqliteDb& db) {
    const int64_t appId = QueryInt(db, "PRAGMA application_id").value_or(0);
    const int64_t version = QueryInt(db, "PRAGMA user_version").value_or(0);
    const int64_t objects = QueryInt(db, "SELECT count(*) FROM sqlite_master").value_or(0);
    if (appId == 0 && version == 0 && objects == 0) {
        return HiveState::Fresh;
    }
    if (appId != HiveApplicationId) {
        return HiveState::Invalid;
    }
    if (version > HiveSchemaVersion) {
        return HiveState::Newer;
    }
    const int64_t tables = QueryInt(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                        "AND name IN ('keys', 'vals')")
                               .value_or(0);
    return version == HiveSchemaVersion && tables == 2 ? HiveState::Ready : HiveState::Invalid;
}

constexpr const char* Schema = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    fold TEXT NOT NULL);
CREATE UNIQUE INDEX keys_by_name ON keys(parent, fold);
CREATE TABLE vals(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE UNIQUE INDEX vals_by_name ON vals(key, fold);
PRAGMA application_id = 1280397902;
PRAGMA user_version = 1;
)sql";

// Returns the state the hive has once the transaction is done.
HiveState Initialise(SqliteDb& db) {
    SqliteTransaction transaction(db);
    const HiveState state = Inspect(db);
    if (state != HiveState::Fresh) {
        return state;
    }
    db.exec(Schema);
    SqliteStatement insert(db, "INSERT INTO keys(id, parent, name, fold) VALUES(?, NULL, ?, ?)");
    for (int i = 0; i < RegistryRootCount; ++i) {
        const auto root = static_cast<RegistryRoot>(i);
        const std::string name = RootKeyName(root);
        insert.bind(1, RegistryHive::RootId(root)).bindText(2, name).bindText(3, FoldName(name));
        insert.run();
        insert.reset();
    }
    transaction.commit();
    return HiveState::Ready;
}

// Root honours a missing write bit too, so a hive an administrator made read-only stays so.
bool IsWritable(const fs::path& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        return false;
    }
    return (info.st_mode & S_IWUSR) != 0 && access(file.c_str(), W_OK) == 0;
}

bool EnsureFile(const fs::path& file) {
    std::error_code ec;
    if (fs::exists(file, ec)) {
        return true;
    }
    const fs::path folder = file.parent_path();
    const bool folderExisted = fs::exists(folder, ec);
    fs::create_directories(folder, ec);
    if (!folderExisted) {
        fs::permissions(folder, fs::perms::owner_all, ec);
    }
    const FileDescriptor created(open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    return created || errno == EEXIST;
}

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

fs::path AsideName(const fs::path& file) {
    const std::string base = file.string() + ".invalid-" + TimeStamp();
    fs::path candidate = base;
    std::error_code ec;
    for (int n = 2; fs::exists(candidate, ec); ++n) {
        candidate = base + "-" + std::to_string(n);
    }
    return candidate;
}

// The journal goes along, so that it is never played back into the fresh hive. Where the file
// went, or nothing when it could not be moved.
std::optional<fs::path> MoveAside(const fs::path& file) {
    const fs::path target = AsideName(file);
    std::error_code ec;
    fs::rename(file, target, ec);
    if (ec) {
        return std::nullopt;
    }
    const fs::path journal = file.string() + "-journal";
    if (fs::exists(journal, ec)) {
        fs::rename(journal, target.string() + "-journal", ec);
    }
    return target;
}

HiveState InspectAlone(SqliteDb& db) {
    SqliteTransaction transaction(db, SqliteTransaction::Kind::Read);
    const HiveState state = Inspect(db);
    transaction.commit();
    return state;
}

// One try: Ready gives the hive, Invalid asks the caller to move the file aside.
std::unique_ptr<RegistryHive> TryOpenForWriting(const fs::path& file, bool& invalid) {
    invalid = false;
    if (!EnsureFile(file) || !IsWritable(file)) {
        return nullptr;
    }
    try {
        auto db = std::make_unique<SqliteDb>(file, false);
        HiveState state = InspectAlone(*db);
        if (state == HiveState::Fresh) {
            state = Initialise(*db);
        }
        invalid = state == HiveState::Invalid;
        return state == HiveState::Ready ? std::make_unique<RegistryHive>(std::move(db)) : nullptr;
    } catch (const SqliteFailure& failure) {
        invalid = failure.isDamage();
        return nullptr;
    }
}

// False when path belongs to another user. A missing one is made private when it is created.
bool OursAndPrivate(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return true;
    }
    if (info.st_uid != ::geteuid()) {
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        ::chmod(path.c_str(), info.st_mode & 0700);
    }
    return true;
}

} // namespace

std::optional<fs::path> ForeignPartOfHive(const fs::path& file) {
    for (const fs::path& part : {file.parent_path(), file, fs::path(file.string() + "-journal")}) {
        if (!OursAndPrivate(part)) {
            return part;
        }
    }
    return std::nullopt;
}

std::unique_ptr<RegistryHive> RegistryHive::OpenForReading(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        return nullptr;
    }
    try {
        auto db = std::make_unique<SqliteDb>(file, !IsWritable(file));
        if (InspectAlone(*db) != HiveState::Ready) {
            return nullptr;
        }
        return std::make_unique<RegistryHive>(std::move(db));
    } catch (const SqliteFailure&) {
        return nullptr;
    }
}

std::unique_ptr<RegistryHive> RegistryHive::OpenForWriting(const fs::path& file,
                                                           std::optional<fs::path>& movedAside) {
    bool invalid = false;
    auto hive = TryOpenForWriting(file, invalid);
    if (hive || !invalid) {
        return hive;
    }
    movedAside = MoveAside(file);
    return movedAside ? TryOpenForWriting(file, invalid) : nullptr;
}
