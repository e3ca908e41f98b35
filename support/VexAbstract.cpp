#include "support/VexAbstract.h"

#include "support/VexDateTime.h"
#include "support/VexStrings.h"

namespace {

constexpr const char* DateMask = "YYYY-MM-DD";
constexpr const char* DateTimeMask = "YYYY-MM-DD HH:NN:SS.ZZZ";
constexpr TStringCoding XorHexCoding = 1;

std::string DefaultPiece(const std::string& keyPath) {
    return GetToken(keyPath, "\r", 3);
}

// "0x1F" and "0X1F" are read as "$1F".
std::string WithDollarHex(std::string text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.replace(0, 2, "$");
    }
    return text;
}

} // namespace

int32_t TSettings::ReadInteger(const std::string& keyPath) {
    const int32_t fallback = ReadIntegerText(DefaultPiece(keyPath)).value_or(0);
    return ReadIntegerText(WithDollarHex(ReadString(keyPath))).value_or(fallback);
}

int64_t TSettings::ReadInt64(const std::string& keyPath) {
    const int64_t fallback = ReadInt64Text(DefaultPiece(keyPath)).value_or(0);
    return ReadInt64Text(WithDollarHex(ReadString(keyPath))).value_or(fallback);
}

bool TSettings::ReadBool(const std::string& keyPath) {
    return ReadInteger(keyPath) != 0;
}

TDateTime TSettings::ReadDate(const std::string& keyPath) {
    return ParseDateByMask(DateMask, ReadString(keyPath));
}

TDateTime TSettings::ReadDateTime(const std::string& keyPath) {
    return ParseDateByMask(DateTimeMask, ReadString(keyPath));
}

double TSettings::ReadFloat(const std::string& keyPath) {
    return ParseFloatText(ReadString(keyPath), '.', 0.0);
}

std::string TSettings::ReadCodedString(const std::string& keyPath, const std::string& key,
                                       TStringCoding coding) {
    const std::string text = ReadString(keyPath);
    return coding == XorHexCoding ? XorHexDecode(text, key) : text;
}

void TSettings::WriteInteger(const std::string& keyPath, int32_t value) {
    WriteString(keyPath, std::to_string(value));
}

void TSettings::WriteInt64(const std::string& keyPath, int64_t value) {
    WriteString(keyPath, std::to_string(value));
}

void TSettings::WriteBool(const std::string& keyPath, bool value) {
    WriteInteger(keyPath, value ? 1 : 0);
}

void TSettings::WriteDate(const std::string& keyPath, TDateTime value) {
    WriteString(keyPath, FormatDateTimeByMask(DateMask, value));
}

void TSettings::WriteDateTime(const std::string& keyPath, TDateTime value) {
    WriteString(keyPath, FormatDateTimeByMask(DateTimeMask, value,
                                              TimeSeparatorOf(FormatSettings.ShortTimeFormat)));
}

void TSettings::WriteFloat(const std::string& keyPath, double value) {
    WriteString(keyPath, FormatFloatText(10, '.', '\0', value, true));
}

void TSettings::WriteCodedString(const std::string& keyPath, const std::string& key,
                                 const std::string& value, TStringCoding coding) {
    WriteString(keyPath, coding == XorHexCoding ? XorHexEncode(value, key) : value);
}
