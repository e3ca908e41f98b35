#pragma once
// TSettings: a typed key-value store addressed by key paths "section\rvalue\rdefault".

#include "support/VexDateTime.h"

#include <cstdint>
#include <string>
#include <vector>

using TStringList = std::vector<std::string>;

// 0 plain, 1 XOR-hex; every other value behaves as plain.
using TStringCoding = uint8_t;

class TSettings {
public:
    TSettings() = default;
    virtual ~TSettings() = default;
    TSettings(const TSettings&) = delete;
    TSettings& operator=(const TSettings&) = delete;

    bool WriteBackDefaults = true;
    std::string FormsSection = "Forms";

    virtual void Flush() = 0;
    virtual std::string ReadString(const std::string& keyPath) = 0;
    virtual void ReadStrings(const std::string& keyPath, TStringList& list,
                             const std::string& defaultText) = 0;
    virtual void WriteString(const std::string& keyPath, const std::string& value) = 0;
    virtual void WriteStrings(const std::string& keyPath, const TStringList& list, bool skipEmpty,
                              bool trimRightOnly) = 0;
    virtual void ListSection(const std::string& keyPath, TStringList& list) = 0;
    virtual int32_t ReadInteger(const std::string& keyPath);
    virtual int64_t ReadInt64(const std::string& keyPath);
    virtual bool ReadBool(const std::string& keyPath);
    virtual TDateTime ReadDate(const std::string& keyPath);
    virtual TDateTime ReadDateTime(const std::string& keyPath);
    virtual double ReadFloat(const std::string& keyPath);
    virtual std::string ReadCodedString(const std::string& keyPath, const std::string& key,
                                        TStringCoding coding);
    virtual void WriteInteger(const std::string& keyPath, int32_t value);
    virtual void WriteInt64(const std::string& keyPath, int64_t value);
    virtual void WriteBool(const std::string& keyPath, bool value);
    virtual void WriteDate(const std::string& keyPath, TDateTime value);
    virtual void WriteDateTime(const std::string& keyPath, TDateTime value);
    virtual void WriteFloat(const std::string& keyPath, double value);
    virtual void WriteCodedString(const std::string& keyPath, const std::string& key,
                                  const std::string& value, TStringCoding coding);
};
