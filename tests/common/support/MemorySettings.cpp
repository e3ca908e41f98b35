#include "common/support/MemorySettings.h"

#include "platform/Errors.h"
#include "platform/text/Text.h"
#include "support/VexStrings.h"

#include <algorithm>
#include <set>

namespace {

// Section of a key path with "/" as "\" and no separators at its ends.
std::string sectionOf(const std::string& keyPath) {
    std::string section = GetToken(keyPath, "\r", 1);
    std::replace(section.begin(), section.end(), '/', '\\');
    return TrimCharSet(section, MakeCharSet("\\"), true, true);
}

std::string nameOf(const std::string& keyPath) {
    return GetToken(keyPath, "\r", 2);
}
std::string defaultOf(const std::string& keyPath) {
    return GetToken(keyPath, "\r", 3);
}

// Lines split at CR, LF or CR LF; a final line break adds no empty line.
TStringList splitLines(const std::string& text) {
    TStringList lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

std::string joinLines(const TStringList& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string trimBlanks(const std::string& text) {
    return TrimCharSet(text, BlankAndControlChars(), true, true);
}

} // namespace

MemorySettings::Key MemorySettings::keyOf(const std::string& section, const std::string& name) {
    return {LowerAscii(section), LowerAscii(name)};
}

void MemorySettings::store(const std::string& keyPath, const std::string& text) {
    const std::string name = nameOf(keyPath);
    if (FailWrites) {
        throw RegistryError("Fehler beim Setzen der Daten f\xC3\xBCr '" + name + "'");
    }
    ++writes_;
    auto [it, inserted] = values_.try_emplace(keyOf(sectionOf(keyPath), name), Entry{name, text});
    if (!inserted) {
        it->second.text = text;
    }
}

std::string MemorySettings::ReadString(const std::string& keyPath) {
    const std::string fallback = defaultOf(keyPath);
    const auto it = values_.find(keyOf(sectionOf(keyPath), nameOf(keyPath)));
    const std::string result = it == values_.end() ? fallback : it->second.text;
    if (WriteBackDefaults && result == fallback) {
        WriteString(keyPath, result);
    }
    return result;
}

void MemorySettings::ReadStrings(const std::string& keyPath, TStringList& list,
                                 const std::string& defaultText) {
    const auto it = values_.find(keyOf(sectionOf(keyPath), nameOf(keyPath)));
    list = splitLines(it == values_.end() ? defaultText : it->second.text);
    if (WriteBackDefaults && !defaultText.empty() &&
        trimBlanks(joinLines(list)) == trimBlanks(defaultText)) {
        WriteStrings(keyPath, list, false, true);
    }
}

void MemorySettings::WriteString(const std::string& keyPath, const std::string& value) {
    store(keyPath, value);
}

void MemorySettings::WriteStrings(const std::string& keyPath, const TStringList& list,
                                  bool skipEmpty, bool trimRightOnly) {
    std::string text;
    for (const std::string& line : list) {
        const std::string trimmed = TrimCharSet(line, BlankAndControlChars(), !trimRightOnly, true);
        if (!(skipEmpty && trimmed.empty())) {
            text += trimmed + "\r\n";
        }
    }
    store(keyPath, text);
}

void MemorySettings::ListSection(const std::string& keyPath, TStringList& list) {
    list.clear();
    const std::string section = LowerAscii(sectionOf(keyPath));
    const std::string prefix = section.empty() ? "" : section + "\\";
    std::set<std::string> subSections;
    for (const auto& [key, entry] : values_) {
        if (key.first.size() > prefix.size() && key.first.starts_with(prefix)) {
            const std::string rest = key.first.substr(prefix.size());
            if (subSections.insert(rest.substr(0, rest.find('\\'))).second) {
                list.push_back(rest.substr(0, rest.find('\\')));
            }
        }
    }
    for (const auto& [key, entry] : values_) {
        if (key.first == section) {
            list.push_back(entry.name);
        }
    }
}

std::optional<std::string> MemorySettings::Stored(const std::string& section,
                                                  const std::string& name) const {
    const auto it = values_.find(keyOf(sectionOf(section), name));
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second.text;
}
