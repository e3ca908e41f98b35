#include "common/TestEnvironment.h"

#include <cstdlib>

std::optional<std::string> GetEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

std::vector<std::pair<std::string, std::string>> UserFolderVariables(const ScopedTestHome& home) {
    return {{"HOME", home.root().string()},
            {"XDG_CONFIG_HOME", home.configDir().string()},
            {"XDG_RUNTIME_DIR", home.runtimeDir().string()}};
}

// The hive lies below XDG_CONFIG_HOME, which the home has changed already.
std::function<void()> IsolateUserRegistry(const ScopedTestHome&) {
    return [] {};
}

std::vector<std::string> RegistryEnumerationOrder(std::vector<std::string> created) {
    return created;
}
