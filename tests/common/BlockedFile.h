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
