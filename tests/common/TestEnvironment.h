#pragma once
// Test isolation: a temporary HOME with its own XDG folders, and the test data.

#include <filesystem>
#include <string>

// Points HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR at fresh temporary folders for its lifetime.
class ScopedTestHome {
public:
    ScopedTestHome();
    ~ScopedTestHome();
    ScopedTestHome(const ScopedTestHome&) = delete;
    ScopedTestHome& operator=(const ScopedTestHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path configDir() const { return root_ / "config"; }
    std::filesystem::path runtimeDir() const { return root_ / "runtime"; }

private:
    std::filesystem::path root_;
    std::string savedHome_;
    std::string savedConfig_;
    std::string savedRuntime_;
};

// Reads a file of tests/data as bytes.
std::string ReadTestData(const std::string& name);
