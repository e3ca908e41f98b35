#pragma once
// Files in tests, byte for byte: their content, a folder's entries, and the text a failing call
// of the files layer gives.

#include "platform/Errors.h"

#include <filesystem>
#include <string>
#include <vector>

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// The names in folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

// The FileError's text, or "" when the call succeeded.
template <typename Call> std::string FileErrorOf(Call call) {
    try {
        call();
    } catch (const FileError& error) {
        return error.what();
    }
    return "";
}
