#pragma once
// TRegistrySettings: the settings store kept in the registry below one program key.

#include "platform/registry/Registry.h"
#include "support/VexAbstract.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// 0 HKEY_CLASSES_ROOT .. 6 HKEY_DYN_DATA, in the order of RegistryRoot.
using TRegistryRoot = uint8_t;

// The root key and the one key the store has open (the current key).
class TRegistryAccess {
public:
    explicit TRegistryAccess(RegistryRoot root) : root_(root) {}

    // On success the key at path becomes the current one; otherwise the current key stays.
    bool OpenKeyReadOnly(const std::string& path);
    bool OpenOrCreateKey(const std::string& path);
    RegistryKey& CurrentKey() { return *current_; }
    void CloseKey() { current_.reset(); }

private:
    bool MakeCurrent(std::unique_ptr<RegistryKey> key);

    RegistryRoot root_;
    std::unique_ptr<RegistryKey> current_;
};

class TRegistrySettings : public TSettings {
public:
    // keyText has "/" or "\" between its levels; a root outside 0..6 means HKEY_CURRENT_USER.
    TRegistrySettings(const std::string& keyText, TRegistryRoot root);
    ~TRegistrySettings() override;

    void Flush() override {}
    std::string ReadString(const std::string& keyPath) override;
    void ReadStrings(const std::string& keyPath, TStringList& list,
                     const std::string& defaultText) override;
    void WriteString(const std::string& keyPath, const std::string& value) override;
    void WriteStrings(const std::string& keyPath, const TStringList& list, bool skipEmpty,
                      bool trimRightOnly) override;
    void ListSection(const std::string& keyPath, TStringList& list) override;
    int32_t ReadInteger(const std::string& keyPath) override;
    void WriteInteger(const std::string& keyPath, int32_t value) override;

    // "\Software\Lirn\Quarn\" for the key text "Software/Lirn/Quarn".
    const std::string& BasePath() const { return basePath_; }

private:
    std::string SectionPath(const std::string& keyPath) const;
    // The value named by the key path, if its section key exists.
    std::optional<RegistryValue> QueryValue(const std::string& keyPath);
    RegistryKey& OpenForWriting(const std::string& keyPath);

    std::unique_ptr<TRegistryAccess> Registry;
    std::string basePath_;
};
