#include "platform/registry/Registry.h"

std::string RegistryKey::FullName() const {
    const std::string path = Path();
    return path.empty() ? RootKeyName(root_) : RootKeyName(root_) + "\\" + path;
}

size_t RegistryKey::SubKeyCount() const {
    return SubKeyNames().size();
}

size_t RegistryKey::ValueCount() const {
    return Values().size();
}
