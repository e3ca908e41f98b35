#pragma once
// File system access the program relies on. Paths are UTF-8 text; failures of reading and
// writing throw FileError with the text the program shows.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The separator between a folder and the name in it: a backslash on Windows, "/" elsewhere.
extern const char PathSeparator;
// True for the characters that separate a path's levels: backslash and "/" on Windows, "/"
// elsewhere.
bool IsPathSeparator(char c);
// Whether a path may begin with a drive ("C:") or a share (two separators, server, share), as on
// Windows.
extern const bool PathsHaveDrivesAndShares;

// True for an existing file that is not a folder.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Removes a file; false when it could not be removed (missing, a folder, no rights).
bool DeleteFile(const std::string& path);
// Cuts a regular file to nothing, in its place (not through a link); false when it cannot.
bool TruncateFile(const std::string& path);
// Gives a file another name in the same folder, never over an existing file; false when it
// could not be moved (missing, target exists, no rights).
bool MoveFileNoReplace(const std::string& from, const std::string& to);

// The running program's file as a full path; empty when the system does not tell it.
std::string ExecutablePath();

// The names of the entries of folder, without "." and ".."; none when it cannot be listed.
std::vector<std::string> FolderEntryNames(const std::string& folder);

// The name under which folder stores name: the exact entry if there is one, else the first entry
// that differs only in ASCII letter case; nothing when the folder cannot be listed or lacks it.
// The empty folder is the current one.
std::optional<std::string> StoredEntryName(const std::string& folder, const std::string& name);

// The whole content of a file. Throws FileError with the runtime's I/O error text.
std::string ReadFileBytes(const std::string& path);
// At most maxBytes from the start of a file; a larger file is never read further. Throws as
// ReadFileBytes does.
std::string ReadFileStart(const std::string& path, size_t maxBytes);

// What tells one stored version of a file from another: which file it is (on POSIX its device
// and inode, on Windows its volume serial number and file index), its size and the time of its
// last change in the system's finest unit. Equal stamps: the same file, unchanged as far as the
// system can tell.
struct FileStamp {
    uint64_t volume = 0;
    uint64_t file = 0;
    uint64_t size = 0;
    int64_t modified = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file at path; nothing when there is none or it cannot be looked at.
std::optional<FileStamp> FileStampOf(const std::string& path);

// True when the system knows that a program (this one included) holds the file open for
// writing. False when none does, and also when the system cannot tell: never the only check
// that a file is complete.
bool IsOpenForWriting(const std::string& path);

// Replaces the file's content so that a reader sees either the old or the new content, never a
// part: a temporary file in the same folder is written, flushed to disk and renamed over the
// target. The temporary file's name is short, so that no target name the system allows is
// refused for it. The temporary file never stays behind unless the program is ended during the
// write. Throws FileError with the file-creation text.
void WriteFileInOnePiece(const std::string& path, std::string_view bytes);

// Removes the temporary files that writes of path ended before their rename left in its folder:
// only the user's own regular files of that name pattern that are more than a minute old and that
// no program holds open for writing, so that a write going on just now is never disturbed.
// Anything that cannot be looked at or removed is left as it is.
void RemoveStaleTemporaryFiles(const std::string& path);

// The runtime's text for an I/O error number as Windows numbers it: a fixed text for a few,
// otherwise "E/A-Fehler <number>".
std::string IoErrorText(int windowsErrorCode);
// The runtime's text for a file that cannot be created, ending with the system's error text.
std::string FileCreationErrorText(const std::string& path, const std::string& systemText);
