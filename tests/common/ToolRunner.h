#pragma once
// Runs one of the built tools (build/bin) as its own process, with the test's environment.
// Its output and errors come with lines ending in "\n" on every system.

#include <memory>
#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// What the tool may use: no file beyond fileSizeBytes (0: no limit), where going beyond it either
// fails the write, as a full disk does, or ends the tool, as a crash would; at most openFiles
// open files (0: the test's own limit).
struct ToolLimits {
    unsigned long long fileSizeBytes = 0;
    bool endedBeyondIt = false;
    unsigned long long openFiles = 0;
};

// Puts the limits on the processes started in its lifetime: the test process holds them meanwhile
// and its children inherit them. Only POSIX can set them; on Windows a limit fails the test.
class ScopedToolLimits {
public:
    explicit ScopedToolLimits(const ToolLimits& limits);
    ~ScopedToolLimits();
    ScopedToolLimits(const ScopedToolLimits&) = delete;
    ScopedToolLimits& operator=(const ScopedToolLimits&) = delete;

    // What the system keeps to restore.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// input is the tool's standard input; it ends there. A tool ended by a signal gives a non-zero
// exit code.
ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                   const std::string& input = "", const ToolLimits& limits = {});
