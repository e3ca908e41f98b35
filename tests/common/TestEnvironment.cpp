#include "common/TestEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace {

std::string getEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

void restoreEnv(const char* name, const std::string& value) {
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
}

} // namespace

ScopedTestHome::ScopedTestHome()
    : savedHome_(getEnv("HOME")), savedConfig_(getEnv("XDG_CONFIG_HOME")),
      savedRuntime_(getEnv("XDG_RUNTIME_DIR")) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarn-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
    std::filesystem::create_directories(configDir());
    std::filesystem::create_directories(runtimeDir());
    std::filesystem::permissions(runtimeDir(), std::filesystem::perms::owner_all);
    setenv("HOME", root_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", configDir().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtimeDir().c_str(), 1);
}

ScopedTestHome::~ScopedTestHome() {
    restoreEnv("HOME", savedHome_);
    restoreEnv("XDG_CONFIG_HOME", savedConfig_);
    restoreEnv("XDG_RUNTIME_DIR", savedRuntime_);
    std::error_code ignored;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
}

std::string ReadTestData(const std::string& name) {
    std::ifstream in(std::string(QUARN_TEST_DATA) + "/" + name, std::ios::binary);
    if (!in) {
        throw std::runtime_error("missing test data: " + name);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
