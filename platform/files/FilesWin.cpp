// Files through the Win32 W functions; paths are UTF-8 text of ours, UTF-16 at the boundary.

#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/files/HandleWin.h"
#include "platform/files/TemporaryName.h"
#include "platform/text/WideTextWin.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <vector>
#include <windows.h>

// <windows.h> maps DeleteFile to DeleteFileW; ours is the portable function of Files.h.
#undef DeleteFile

namespace {

constexpr DWORD NoAttributes = INVALID_FILE_ATTRIBUTES;

// Removes the temporary file unless the rename has taken it over.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) {
            DeleteFileW(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::wstring& path() const { return path_; }
    void release() { path_.clear(); }

private:
    std::wstring path_;
};

[[noreturn]] void ThrowReadError(DWORD error) {
    throw FileError(IoErrorText(static_cast<int>(error)));
}

[[noreturn]] void ThrowCreationError(const std::string& path, DWORD error) {
    throw FileError(FileCreationErrorText(path, SystemErrorText(error)));
}

DWORD AttributesOf(const std::string& path) {
    return path.empty() ? NoAttributes : GetFileAttributesW(Widen(path).c_str());
}

size_t NameStart(const std::string& path) {
    const auto last = path.find_last_of("\\/:");
    return last == std::string::npos ? 0 : last + 1;
}

// A name of our own beside the target; the practice software looks only for the target's name.
// The process, a counter and the clock go into the seed, as not every runtime's random device
// differs from one run to the next.
std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    LARGE_INTEGER ticks{};
    QueryPerformanceCounter(&ticks);
    std::seed_seq seed{std::random_device{}(), static_cast<unsigned>(GetCurrentProcessId()),
                       counter++, static_cast<unsigned>(ticks.LowPart),
                       static_cast<unsigned>(ticks.HighPart)};
    std::mt19937 random(seed);
    std::string unforeseeable;
    for (size_t i = 0; i < UnforeseeableLength; ++i) {
        unforeseeable += UnforeseeableLetters[random() % UnforeseeableLetters.size()];
    }
    const size_t start = NameStart(path);
    return path.substr(0, start) + TemporaryNameFor(path.substr(start), unforeseeable);
}

// CREATE_NEW so that an existing file is never taken over.
OwnedHandle CreateTemporary(const std::string& path, std::wstring& temporaryPath) {
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        temporaryPath = Widen(TemporaryName(path));
        OwnedHandle file(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return OwnedHandle();
}

bool WriteAll(void* file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// A replaced file that is marked read-only is refused as a plain overwrite would be; the rename
// alone would not always say so.
void RefuseReadOnlyTarget(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    if (attributes != NoAttributes && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ThrowCreationError(path, ERROR_ACCESS_DENIED);
    }
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// Others may go on writing or delete the file meanwhile, as the practice software expects; a
// program that holds it without sharing makes the open fail with its own number (32).
OwnedHandle OpenForReading(const std::string& path) {
    OwnedHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ThrowReadError(GetLastError());
    }
    // A pipe or a device at the path could stall the program.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        ThrowReadError(ERROR_ACCESS_DENIED);
    }
    return file;
}

// The token's information of the given class, as the system lays it out; empty when it is not
// told.
std::vector<unsigned char> TokenInformation(void* token, TOKEN_INFORMATION_CLASS kind) {
    DWORD needed = 0;
    GetTokenInformation(token, kind, nullptr, 0, &needed);
    std::vector<unsigned char> information(needed);
    if (needed == 0 || !GetTokenInformation(token, kind, information.data(), needed, &needed)) {
        return {};
    }
    return information;
}

// The owner recorded in the file's security descriptor is this user, or the owner this
// process gives the files it creates (the administrators' group, when run with their rights).
bool IsOwnedByThisUser(const std::wstring& path) {
    HANDLE tokenHandle = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &tokenHandle)) {
        return false;
    }
    const OwnedHandle token(tokenHandle);
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<unsigned char> security(needed);
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (needed == 0 ||
        !GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, security.data(), needed,
                          &needed) ||
        !GetSecurityDescriptorOwner(security.data(), &owner, &defaulted) || !owner) {
        return false;
    }
    const std::vector<unsigned char> user = TokenInformation(token.get(), TokenUser);
    if (!user.empty() &&
        EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) {
        return true;
    }
    const std::vector<unsigned char> creator = TokenInformation(token.get(), TokenOwner);
    return !creator.empty() &&
           EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(creator.data())->Owner);
}

// FILETIME counts 100 ns since 1601; the stamp keeps that unit.
int64_t Ticks(const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

} // namespace

const char PathSeparator = '\\';
const bool PathsHaveDrivesAndShares = true;

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

bool FileExists(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != NoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != NoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFile(const std::string& path) {
    return !path.empty() && DeleteFileW(Widen(path).c_str()) != 0;
}

std::string ReadFileBytes(const std::string& path) {
    return ReadFileStart(path, std::string::npos);
}

std::string ReadFileStart(const std::string& path, size_t maxBytes) {
    const OwnedHandle file = OpenForReading(path);
    std::string content;
    char buffer[65536];
    while (content.size() < maxBytes) {
        const DWORD wanted = static_cast<DWORD>(std::min(sizeof buffer, maxBytes - content.size()));
        DWORD count = 0;
        if (!ReadFile(file.get(), buffer, wanted, &count, nullptr)) {
            ThrowReadError(GetLastError());
        }
        if (count == 0) {
            break;
        }
        content.append(buffer, count);
    }
    return content;
}

std::optional<FileStamp> FileStampOf(const std::string& path) {
    const OwnedHandle file(CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return FileStamp{info.dwVolumeSerialNumber,
                     (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                     (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                     Ticks(info.ftLastWriteTime)};
}

// Windows tells through sharing. A file that can be opened sharing everything, but not while
// letting others only read, is held by somebody with the right to write. One held without any
// sharing may be written or only read: the system cannot tell, and the read fails with 32. The
// probe lasts as long as an open and a close; a writer that opens the file just then meets a
// sharing violation, as it would with any reader that shares no writing.
bool IsOpenForWriting(const std::string& path) {
    const std::wstring name = Widen(path);
    // ERROR_SUCCESS when the file opens with that sharing, else why not.
    const auto openWith = [&](DWORD sharing) -> DWORD {
        const OwnedHandle probe(CreateFileW(name.c_str(), GENERIC_READ, sharing, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) {
            return GetLastError();
        }
        return GetFileType(probe.get()) == FILE_TYPE_DISK ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    };
    return openWith(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) == ERROR_SUCCESS &&
           openWith(FILE_SHARE_READ | FILE_SHARE_DELETE) == ERROR_SHARING_VIOLATION;
}

void WriteFileInOnePiece(const std::string& path, std::string_view bytes) {
    RefuseReadOnlyTarget(path);
    std::wstring temporaryPath;
    OwnedHandle file = CreateTemporary(path, temporaryPath);
    if (!file) {
        ThrowCreationError(path, GetLastError());
    }
    TemporaryFile temporary(temporaryPath);
    if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.close()) {
        ThrowCreationError(path, GetLastError());
    }
    if (!MoveFileExW(temporary.path().c_str(), Widen(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ThrowCreationError(path, GetLastError());
    }
    temporary.release();
}

// A temporary file that is being written is never a minute old: the content is written at once,
// then renamed at once. The writer holds it without sharing, so that even a slower one, here or
// on another computer of a shared folder, makes the deletion fail. Never a folder or a link.
void RemoveStaleTemporaryFiles(const std::string& path) {
    constexpr int64_t staleAfterTicks = 60LL * 10000000;
    const size_t start = NameStart(path);
    const std::string folder = path.substr(0, start);
    const std::string name = path.substr(start);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(Widen(folder + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string entryName = Narrow(entry.cFileName);
        const bool plainFile = (entry.dwFileAttributes &
                                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (!plainFile || !IsTemporaryNameFor(entryName, name) ||
            Ticks(now) - Ticks(entry.ftLastWriteTime) <= staleAfterTicks) {
            continue;
        }
        const std::wstring entryPath = Widen(folder + entryName);
        if (IsOwnedByThisUser(entryPath)) {
            DeleteFileW(entryPath.c_str());
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return Narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> FolderEntryNames(const std::string& folder) {
    std::vector<std::string> names;
    const bool closed = !folder.empty() && IsPathSeparator(folder.back());
    const std::wstring pattern = Widen(folder + (closed ? "" : "\\") + "*");
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring_view name(entry.cFileName);
        if (name != L"." && name != L"..") {
            names.push_back(Narrow(name));
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

// The system looks the name up itself: without regard to letter case, and a short 8.3 name
// gives the long one.
std::optional<std::string> StoredEntryName(const std::string& folder, const std::string& name) {
    if (name.empty() || HasWildcard(name)) {
        return std::nullopt;
    }
    const bool closed = folder.empty() || IsPathSeparator(folder.back()) || folder.back() == ':';
    WIN32_FIND_DATAW entry{};
    const HANDLE search =
        FindFirstFileW(Widen(folder + (closed ? "" : "\\") + name).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FindClose(search);
    return Narrow(entry.cFileName);
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() &&
           MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool TruncateFile(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    OwnedHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 TRUNCATE_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return static_cast<bool>(file);
}
