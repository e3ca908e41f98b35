#include "common/ReadOnlyRegistry.h"
#include "platform/registry/Registry.h"

#include <filesystem>

namespace fs = std::filesystem;

struct ScopedReadOnlyRegistry::Impl {};

ScopedReadOnlyRegistry::ScopedReadOnlyRegistry() {
    fs::permissions(RegistryHivePath(), fs::perms::owner_read);
}

ScopedReadOnlyRegistry::~ScopedReadOnlyRegistry() {
    std::error_code ignored;
    fs::permissions(RegistryHivePath(), fs::perms::owner_read | fs::perms::owner_write, ignored);
}
