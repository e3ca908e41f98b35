#pragma once
// A program of build/bin run as a process of its own, with the test's environment.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The path of a built program ("monitor-sim" names monitor-sim.exe on Windows).
std::string BuiltProgram(const std::string& name);

class ChildProcess {
public:
    // Starts the built program name with args; standard input comes from input and output and
    // errors go to the files given (empty paths: nothing in, everything out discarded).
    ChildProcess(const std::string& name, const std::vector<std::string>& args,
                 const std::filesystem::path& output = {}, const std::filesystem::path& errors = {},
                 const std::filesystem::path& input = {});
    // A process still running is stopped and waited for.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    // The exit code once it has ended; nothing while it runs.
    std::optional<int> poll();
    int wait();
    // Asks it to stop (SIGTERM on POSIX; Windows has no such request, so it is ended there) and
    // waits; the exit code.
    int stop();

    // What the system keeps of a process.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
