#include "platform/Errors.h"
#include "platform/files/FileDescriptorPosix.h"
#include "platform/files/Files.h"
#include "platform/files/TemporaryName.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// Removes the temporary file unless the rename has taken it over.
class TemporaryFile {
public:
    TemporaryFile(const FileDescriptor& folder, std::string name)
        : folder_(folder), name_(std::move(name)) {}
    ~TemporaryFile() {
        if (!name_.empty()) {
            ::unlinkat(folder_.get(), name_.c_str(), 0);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& name() const { return name_; }
    void release() { name_.clear(); }

private:
    const FileDescriptor& folder_;
    std::string name_;
};

// Support staff know the Windows numbers, so the system's reasons are told in those.
int WindowsErrorCode(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EISDIR:
        return 5;
    case ENOENT:
        return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK:
        return 32;
    case EIO:
        return 30;
    default:
        return error;
    }
}

[[noreturn]] void ThrowReadError(int error) {
    throw FileError(IoErrorText(WindowsErrorCode(error)));
}

[[noreturn]] void ThrowCreationError(const std::string& path, int error) {
    throw FileError(FileCreationErrorText(path, std::generic_category().message(error)));
}

bool StatIs(const std::string& path, mode_t type) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name beside the target that nobody can foretell, so that nobody can plant a link or a file
// where ours will be; the practice software looks only for the target's name.
std::string TemporaryName(const std::string& targetName) {
    std::random_device random;
    std::string unforeseeable;
    for (size_t i = 0; i < UnforeseeableLength; ++i) {
        unforeseeable += UnforeseeableLetters[random() % UnforeseeableLetters.size()];
    }
    return TemporaryNameFor(targetName, unforeseeable);
}

// Names inside the folder are given relative to it, so that a temporary file beside a target
// whose whole path is as long as the system allows is not refused for its own longer path. A
// path-only descriptor needs no right to read the folder, which writing into it never needed.
FileDescriptor OpenFolderOf(const std::string& path) {
    return FileDescriptor(::open(FolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// Created exclusively, never through an existing entry or link. Mode 0666 leaves the rest to the
// umask, as for any newly created file.
FileDescriptor CreateTemporary(const FileDescriptor& folder, const std::string& targetName,
                               std::string& temporaryName) {
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        temporaryName = TemporaryName(targetName);
        const int fd = ::openat(folder.get(), temporaryName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return FileDescriptor(fd);
        }
    }
    errno = EEXIST;
    return FileDescriptor();
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Without this the rename itself may be lost on a power failure.
void SyncFolder(const std::string& path) {
    FileDescriptor folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) {
        ::fsync(folder.get());
    }
}

// A replaced file that is marked read-only would be overwritten by the rename; refuse as a
// plain overwrite would.
void RefuseReadOnlyTarget(const std::string& path) {
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0 && errno == EACCES) {
        ThrowCreationError(path, EACCES);
    }
}

// O_NONBLOCK so that a FIFO at the path cannot stall the program on open.
FileDescriptor OpenRegularForReading(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file) {
        ThrowReadError(errno);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        ThrowReadError(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        ThrowReadError(EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        ThrowReadError(EACCES);
    }
    return file;
}

// A read lease is refused while any descriptor of the file is open for writing. Taking one needs
// the file to be ours (or CAP_LEASE), and not every file system offers leases: a lease refused
// for such a reason tells nothing. A lease is broken by a signal, SIGIO by default, which would
// end the program; SIGURG is ignored unless handled. file is a regular file opened for reading.
bool IsHeldForWriting(const FileDescriptor& file) {
    if (::fcntl(file.get(), F_SETSIG, SIGURG) != 0) {
        return false;
    }
    if (::fcntl(file.get(), F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(file.get(), F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

// A temporary file that is being written is never a minute old: the content is written at once,
// then renamed at once. The age holds for a writer on another computer of a shared folder too,
// where neither locks nor leases reach; one here that hangs longer still holds the file open for
// writing. Only the user's own regular files: never a folder, a link or another user's file.
bool IsStaleTemporary(const FileDescriptor& file) {
    constexpr time_t staleAfterSeconds = 60;
    struct stat info {};
    timespec now{};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        ::clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return false;
    }
    return now.tv_sec - info.st_mtim.tv_sec > staleAfterSeconds && !IsHeldForWriting(file);
}

struct FolderCloser {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

} // namespace

const char PathSeparator = '/';
const bool PathsHaveDrivesAndShares = false;

bool IsPathSeparator(char c) {
    return c == '/';
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
    return StatIs(path, S_IFDIR);
}

bool DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::string ReadFileBytes(const std::string& path) {
    return ReadFileStart(path, std::string::npos);
}

std::string ReadFileStart(const std::string& path, size_t maxBytes) {
    const FileDescriptor file = OpenRegularForReading(path);
    std::string content;
    char buffer[65536];
    while (content.size() < maxBytes) {
        const size_t wanted = std::min(sizeof buffer, maxBytes - content.size());
        const ssize_t count = ::read(file.get(), buffer, wanted);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            ThrowReadError(errno);
        }
        if (count == 0) {
            break;
        }
        content.append(buffer, static_cast<size_t>(count));
    }
    return content;
}

std::optional<FileStamp> FileStampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                     static_cast<uint64_t>(info.st_size),
                     static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool IsOpenForWriting(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    return file && ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) &&
           IsHeldForWriting(file);
}

void WriteFileInOnePiece(const std::string& path, std::string_view bytes) {
    RefuseReadOnlyTarget(path);
    const FileDescriptor folder = OpenFolderOf(path);
    if (!folder) {
        ThrowCreationError(path, errno);
    }
    const std::string name = BaseNameOf(path);
    std::string temporaryName;
    FileDescriptor file = CreateTemporary(folder, name, temporaryName);
    if (!file) {
        ThrowCreationError(path, errno);
    }
    TemporaryFile temporary(folder, temporaryName);
    if (!WriteAll(file.get(), bytes) || ::fsync(file.get()) != 0 || !file.close()) {
        ThrowCreationError(path, errno);
    }
    if (::renameat(folder.get(), temporary.name().c_str(), folder.get(), name.c_str()) != 0) {
        ThrowCreationError(path, errno);
    }
    temporary.release();
    SyncFolder(path);
}

void RemoveStaleTemporaryFiles(const std::string& path) {
    const std::string folderPath = FolderOf(path);
    const FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        return;
    }
    const std::string name = BaseNameOf(path);
    for (const std::string& entry : FolderEntryNames(folderPath)) {
        if (!IsTemporaryNameFor(entry, name)) {
            continue;
        }
        const FileDescriptor file(
            ::openat(folder.get(), entry.c_str(),
                     O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
        if (file && IsStaleTemporary(file)) {
            ::unlinkat(folder.get(), entry.c_str(), 0);
        }
    }
}

std::string ExecutablePath() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

std::vector<std::string> FolderEntryNames(const std::string& folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, FolderCloser> listing(::opendir(folder.c_str()));
    if (!listing) {
        return names;
    }
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    return names;
}

std::optional<std::string> StoredEntryName(const std::string& folder, const std::string& name) {
    std::optional<std::string> caseMatch;
    for (std::string& entry : FolderEntryNames(folder.empty() ? "." : folder)) {
        if (entry == name) {
            return name;
        }
        if (!caseMatch && EqualsIgnoringAsciiCase(entry, name)) {
            caseMatch = std::move(entry);
        }
    }
    return caseMatch;
}

// Where the file system cannot rename without replacing (some network shares), a plain rename
// is taken: callers move to names of their own that nobody else writes.
bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    struct stat existing {};
    return ::lstat(to.c_str(), &existing) != 0 && ::rename(from.c_str(), to.c_str()) == 0;
}

bool TruncateFile(const std::string& path) {
    const FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    return file && ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::ftruncate(file.get(), 0) == 0;
}
