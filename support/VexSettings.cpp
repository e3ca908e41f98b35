#include "support/VexSettings.h"

#include "platform/Errors.h"
#include "support/VexStrings.h"

#include <algorithm>

namespace {

std::string Section(const std::string& keyPath) {
    return GetToken(keyPath, "\r", 1);
}
std::string ValueName(const std::string& keyPath) {
    return GetToken(keyPath, "\r", 2);
}
std::string DefaultPiece(const std::string& keyPath) {
    return GetToken(keyPath, "\r", 3);
}

RegistryRoot RootOf(TRegistryRoot root) {
    return root < RegistryRootCount ? static_cast<RegistryRoot>(root) : RegistryRoot::CurrentUser;
}

std::string Backslashed(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

bool IsText(uint32_t type) {
    return type == RegType::Sz || type == RegType::ExpandSz;
}

// As a string list takes its text: lines end at CR, LF or CR LF; a final break adds no line.
TStringList LinesOf(const std::string& text) {
    TStringList lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
            ++start;
        }
    }
    return lines;
}

std::string TextOf(const TStringList& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string TrimBlanks(const std::string& text) {
    return TrimCharSet(text, BlankAndControlChars(), true, true);
}

// A read reports what it found even when the hive cannot take the default back.
template <typename Write> void WriteBackQuietly(Write&& write) {
    try {
        write();
    } catch (const RegistryError&) {
    }
}

} // namespace

bool TRegistryAccess::MakeCurrent(std::unique_ptr<RegistryKey> key) {
    if (!key) {
        return false;
    }
    current_ = std::move(key);
    return true;
}

bool TRegistryAccess::OpenKeyReadOnly(const std::string& path) {
    return MakeCurrent(RegistryKey::Open(root_, path));
}

bool TRegistryAccess::OpenOrCreateKey(const std::string& path) {
    return MakeCurrent(RegistryKey::Create(root_, path));
}

TRegistrySettings::TRegistrySettings(const std::string& keyText, TRegistryRoot root)
    : Registry(std::make_unique<TRegistryAccess>(RootOf(root))) {
    basePath_ = Backslashed(keyText);
    if (!basePath_.empty()) {
        basePath_ += '\\';
    }
    basePath_.insert(0, "\\");
}

TRegistrySettings::~TRegistrySettings() = default;

std::string TRegistrySettings::SectionPath(const std::string& keyPath) const {
    return basePath_ + TrimCharSet(Backslashed(Section(keyPath)), MakeCharSet("\\"), true, true);
}

std::optional<RegistryValue> TRegistrySettings::QueryValue(const std::string& keyPath) {
    if (!Registry->OpenKeyReadOnly(SectionPath(keyPath))) {
        return std::nullopt;
    }
    return Registry->CurrentKey().QueryValue(ValueName(keyPath));
}

// A key that cannot be created fails like the value itself: the setting would be lost silently.
RegistryKey& TRegistrySettings::OpenForWriting(const std::string& keyPath) {
    if (!Registry->OpenOrCreateKey(SectionPath(keyPath))) {
        throw RegistryError("Fehler beim Setzen der Daten für '" + ValueName(keyPath) + "'");
    }
    return Registry->CurrentKey();
}

std::string TRegistrySettings::ReadString(const std::string& keyPath) {
    const std::string fallback = DefaultPiece(keyPath);
    std::string result = fallback;
    const auto value = QueryValue(keyPath);
    if (value && IsText(value->type)) {
        result = value->data.substr(0, value->data.find('\0'));
    }
    if (WriteBackDefaults && result == fallback) {
        WriteBackQuietly([&] { WriteString(keyPath, result); });
    }
    return result;
}

void TRegistrySettings::WriteString(const std::string& keyPath, const std::string& value) {
    OpenForWriting(keyPath).SetValue(ValueName(keyPath), RegType::Sz, value + '\0');
}

int32_t TRegistrySettings::ReadInteger(const std::string& keyPath) {
    const int32_t fallback = ReadIntegerText(DefaultPiece(keyPath)).value_or(0);
    int32_t result = fallback;
    const auto value = QueryValue(keyPath);
    if (value && value->type == RegType::Dword && value->data.size() == 4) {
        result = static_cast<int32_t>(DwordOf(value->data));
    }
    if (WriteBackDefaults && result == fallback) {
        WriteBackQuietly([&] { WriteInteger(keyPath, result); });
    }
    return result;
}

void TRegistrySettings::WriteInteger(const std::string& keyPath, int32_t value) {
    OpenForWriting(keyPath).SetValue(ValueName(keyPath), RegType::Dword,
                                     DwordBytes(static_cast<uint32_t>(value)));
}

void TRegistrySettings::ReadStrings(const std::string& keyPath, TStringList& list,
                                    const std::string& defaultText) {
    const auto value = QueryValue(keyPath);
    if (!value) {
        list = LinesOf(defaultText);
    } else if (value->data.empty()) {
        list.clear();
    } else {
        const bool bytes = !IsText(value->type) && value->type != RegType::Dword;
        list = LinesOf(bytes ? value->data : defaultText);
    }
    if (WriteBackDefaults && !defaultText.empty() &&
        TrimBlanks(TextOf(list)) == TrimBlanks(defaultText)) {
        WriteBackQuietly([&] { WriteStrings(keyPath, list, false, true); });
    }
}

void TRegistrySettings::WriteStrings(const std::string& keyPath, const TStringList& list,
                                     bool skipEmpty, bool trimRightOnly) {
    std::string text;
    for (const std::string& line : list) {
        const std::string trimmed = TrimCharSet(line, BlankAndControlChars(), !trimRightOnly, true);
        if (!skipEmpty || !trimmed.empty()) {
            text += trimmed + "\r\n";
        }
    }
    OpenForWriting(keyPath).SetValue(ValueName(keyPath), RegType::Binary, text);
}

void TRegistrySettings::ListSection(const std::string& keyPath, TStringList& list) {
    list.clear();
    if (!Registry->OpenKeyReadOnly(SectionPath(keyPath))) {
        return;
    }
    const RegistryKey& key = Registry->CurrentKey();
    list = key.SubKeyNames();
    for (const RegistryValue& value : key.Values()) {
        list.push_back(value.name);
    }
}
