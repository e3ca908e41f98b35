#include "common/TestEnvironment.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

fs::path MakeTemporaryFolder(const std::string& prefix) {
    static std::mt19937_64 random{std::random_device{}()};
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const fs::path folder =
            fs::temp_directory_path() / (prefix + "-" + std::to_string(random() % 1000000000));
        if (fs::create_directory(folder)) {
            return folder;
        }
    }
    throw std::runtime_error("no new temporary folder could be made");
}

ScopedTestHome::ScopedTestHome() : root_(MakeTemporaryFolder("quarn-test")) {
    fs::create_directories(configDir());
    fs::create_directories(runtimeDir());
    fs::permissions(root_, fs::perms::owner_all);
    fs::permissions(runtimeDir(), fs::perms::owner_all);
    for (const auto& [name, value] : UserFolderVariables(*this)) {
        savedEnvironment_.emplace_back(name, GetEnvironment(name));
        SetEnvironment(name, value);
    }
    restoreRegistry_ = IsolateUserRegistry(*this);
}

ScopedTestHome::~ScopedTestHome() {
    restoreRegistry_();
    for (const auto& [name, value] : savedEnvironment_) {
        SetEnvironment(name, value);
    }
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
}

std::string ReadTestData(const std::string& name) {
    std::ifstream in(std::string(QUARN_TEST_DATA) + "/" + name, std::ios::binary);
    if (!in) {
        throw std::runtime_error("missing test data: " + name);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
