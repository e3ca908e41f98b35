#pragma once
// Test isolation: a temporary home with the user's folders and an empty registry of its own, the
// process environment, and the test data.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// For its lifetime the user's folders are fresh temporary ones (HOME and the XDG folders on
// POSIX, LOCALAPPDATA and APPDATA on Windows) and the user's registry is empty (the hive below
// the config folder on POSIX, the program's key emptied on Windows).
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
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
    std::function<void()> restoreRegistry_;
};

// A new, empty folder below the system's temporary folder.
std::filesystem::path MakeTemporaryFolder(const std::string& prefix);

// The process environment, which started programs inherit; nothing for an unset variable.
std::optional<std::string> GetEnvironment(const std::string& name);
// Sets the variable, or removes it for nothing.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

// The variables naming the user's folders, and the values a test home gives them.
std::vector<std::pair<std::string, std::string>> UserFolderVariables(const ScopedTestHome& home);
// Gives the user an empty registry; the function returned restores the real one.
std::function<void()> IsolateUserRegistry(const ScopedTestHome& home);

// The order in which the registry enumerates names created in the order given: the order of
// creation in our hive (POSIX), sorted by name in Wine's registry (Windows).
std::vector<std::string> RegistryEnumerationOrder(std::vector<std::string> created);

// Reads a file of tests/data as bytes.
std::string ReadTestData(const std::string& name);
