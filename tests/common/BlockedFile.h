#pragma once
// A file that stands in the program's way as it does in a practice, for the helper's lifetime.
// POSIX takes the rights: the file cannot be read, its folder not written, and the calling
// thread gives up root's right to ignore that. Windows keeps the file open without sharing, as a
// viewer or the practice software does; it can be neither read, replaced nor deleted.

#include <filesystem>
#include <memory>
#include <string>

class ScopedBlockedFile {
public:
    explicit ScopedBlockedFile(const std::filesystem::path& file);
    ~ScopedBlockedFile();
    ScopedBlockedFile(const ScopedBlockedFile&) = delete;
    ScopedBlockedFile& operator=(const ScopedBlockedFile&) = delete;

    // The runtime's text for a read of the file.
    static std::string ReadErrorText();
    // The system's text for a file that cannot be written in its place.
    static std::string ReplaceErrorText();

    // What the system keeps while it blocks.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// A file that can be read but not deleted, for the helper's lifetime: POSIX takes the right to
// change its folder (and the calling thread root's right to ignore that); Windows keeps the file
// open for reading, sharing only reading, as a viewer may.
class ScopedUndeletableFile {
public:
    explicit ScopedUndeletableFile(const std::filesystem::path& file);
    ~ScopedUndeletableFile();
    ScopedUndeletableFile(const ScopedUndeletableFile&) = delete;
    ScopedUndeletableFile& operator=(const ScopedUndeletableFile&) = delete;

    // What the system keeps while it holds the file.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
