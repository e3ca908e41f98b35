#include "tools/quarn-reg/QuarnReg.h"

#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"
#include "platform/text/Text.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <new>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* Usage = R"(Usage:
  quarn-reg query KEY [/v NAME | /ve] [/s]
  quarn-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
  quarn-reg delete KEY [/v NAME | /ve | /va] [/f]
  quarn-reg export KEY FILE [/y]
  quarn-reg import FILE

KEY is ROOT\SubKey, ROOT one of HKCR, HKCU, HKLM, HKU, HKCC (or the long HKEY_ names).
TYPE is REG_SZ (default), REG_EXPAND_SZ, REG_BINARY (hex digits) or REG_DWORD (decimal or 0x..).
/f and /y answer every question with yes.
)";

constexpr const char* Done = "The operation completed successfully.\n";

// Why a key could not be created: the hive file of ours, or the system's registry refusing.
std::string UnwritableRegistryText() {
    const fs::path hive = RegistryHivePath();
    return hive.empty() ? "the registry refuses the change"
                        : "the hive " + hive.string() + " cannot be written";
}
constexpr const char* NotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";

struct Options {
    std::string verb;
    std::vector<std::string> positional;
    std::optional<std::string> valueName; // "" for the unnamed value
    std::optional<std::string> type;
    std::optional<std::string> data;
    bool allValues = false;
    bool recurse = false;
    bool force = false;
};

struct VerbRules {
    size_t positionals;
    std::string switches; // the option letters the verb takes
};

const std::map<std::string, VerbRules> Verbs{
    {"query", {1, "v ve s"}}, {"add", {1, "v ve t d f"}}, {"delete", {1, "v ve va f"}},
    {"export", {2, "y"}},     {"import", {1, ""}},
};

// Only the known switches: "/tmp/x.reg" is a path, not an option.
bool IsOption(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) {
        return false;
    }
    const std::string name = LowerAscii(arg.substr(1));
    return name == "v" || name == "ve" || name == "va" || name == "s" || name == "t" ||
           name == "d" || name == "f" || name == "y";
}

bool Takes(const VerbRules& rules, const std::string& option) {
    const std::string list = " " + rules.switches + " ";
    return list.find(" " + option + " ") != std::string::npos;
}

// Returns an error text, empty when the option was taken.
std::string TakeOption(const std::string& option, const std::vector<std::string>& args, size_t& i,
                       Options& options) {
    auto argument = [&]() -> std::optional<std::string> {
        return i + 1 < args.size() ? std::optional(args[++i]) : std::nullopt;
    };
    if (option == "ve" || option == "v") {
        if (options.valueName || options.allValues) {
            return "/v, /ve and /va exclude each other";
        }
        options.valueName = option == "ve" ? std::optional<std::string>("") : argument();
        return options.valueName ? "" : "/v needs a value name";
    }
    if (option == "t" || option == "d") {
        auto& target = option == "t" ? options.type : options.data;
        target = argument();
        return target ? "" : "/" + option + " needs an argument";
    }
    if (option == "va") {
        options.allValues = !options.valueName;
        return options.allValues ? "" : "/v, /ve and /va exclude each other";
    }
    options.recurse = options.recurse || option == "s";
    options.force = options.force || option == "f" || option == "y";
    return {};
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    options.verb = LowerAscii(args.front());
    const auto verb = Verbs.find(options.verb);
    if (verb == Verbs.end()) {
        error = "unknown operation '" + args.front() + "'";
        return std::nullopt;
    }
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!IsOption(arg)) {
            options.positional.push_back(arg);
            continue;
        }
        const std::string option = LowerAscii(arg.substr(1));
        error = Takes(verb->second, option) ? TakeOption(option, args, i, options)
                                            : "'" + arg + "' is no option of " + options.verb;
        if (!error.empty()) {
            return std::nullopt;
        }
    }
    if (options.positional.size() != verb->second.positionals) {
        error = options.verb + " takes " + std::to_string(verb->second.positionals) +
                " argument(s) besides its options";
        return std::nullopt;
    }
    return options;
}

int Fail(std::ostream& err, const std::string& message) {
    err << "ERROR: " << message << "\n";
    return 1;
}

bool Confirm(std::istream& in, std::ostream& out, const std::string& question) {
    out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) {
        out << "\n";
        return false;
    }
    const size_t end = answer.find_last_not_of(" \t\r");
    answer = LowerAscii(answer.substr(0, end == std::string::npos ? 0 : end + 1));
    return answer == "y" || answer == "yes";
}

int Cancelled(std::ostream& out) {
    out << "The operation was cancelled.\n";
    return 1;
}

std::string ValueLine(const RegistryValue& value) {
    const std::string name = value.name.empty() ? "(Default)" : value.name;
    return "    " + name + "    " + RegTypeName(value.type) + "    " +
           DisplayRegData(value.type, value.data) + "\n";
}

std::string ChildPath(const std::string& path, const std::string& child) {
    return path.empty() ? child : path + "\\" + child;
}

// --- query
// ----------------------------------------------------------------------------------------

// Prints the key's block under its full name; returns how many values it showed.
size_t PrintKey(const RegistryKey& key, const std::string& fullName, const Options& options,
                std::ostream& out) {
    std::string lines;
    size_t shown = 0;
    for (const RegistryValue& value : key.Values()) {
        if (!options.valueName || LowerAscii(value.name) == LowerAscii(*options.valueName)) {
            lines += ValueLine(value);
            ++shown;
        }
    }
    if (options.valueName && shown == 0) {
        return 0;
    }
    out << fullName << "\n" << lines << "\n";
    return shown;
}

// Visits the key and every key below it, each before the keys below it and in enumeration
// order, with its full name. However deep the tree, only one path is held at a time. Throws
// RegistryError when a key cannot be opened, so that no part of a tree passes for all of it.
void WalkTree(std::unique_ptr<RegistryKey> top,
              const std::function<void(const RegistryKey&, const std::string& path)>& visit) {
    struct Level {
        std::unique_ptr<RegistryKey> key;
        std::vector<std::string> subKeys;
        size_t next = 0;
        size_t pathLength = 0;
    };
    std::string path = top->Path();
    visit(*top, path);
    std::vector<Level> levels;
    levels.push_back({std::move(top), {}, 0, path.size()});
    levels.back().subKeys = levels.back().key->SubKeyNames();
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.subKeys.size()) {
            levels.pop_back();
            continue;
        }
        const std::string& name = level.subKeys[level.next++];
        path.resize(level.pathLength);
        path = ChildPath(path, name);
        auto child = level.key->OpenSubKey(name);
        if (!child) {
            throw RegistryError("the key " + RootKeyName(level.key->Root()) + "\\" + path +
                                " cannot be read; nothing was written");
        }
        visit(*child, path);
        std::vector<std::string> subKeys = child->SubKeyNames();
        levels.push_back({std::move(child), std::move(subKeys), 0, path.size()});
    }
}

std::string FullNameOf(RegistryRoot root, const std::string& path) {
    return path.empty() ? RootKeyName(root) : RootKeyName(root) + "\\" + path;
}

int Query(const Options& options, const KeyName& name, std::ostream& out, std::ostream& err) {
    auto key = RegistryKey::Open(name.root, name.path);
    if (!key) {
        err << NotFound;
        return 1;
    }
    if (options.recurse) {
        std::ostringstream found;
        size_t shown = 0;
        WalkTree(std::move(key), [&](const RegistryKey& each, const std::string& path) {
            shown += PrintKey(each, FullNameOf(name.root, path), options, found);
        });
        out << "\n" << found.str() << "End of search: " << shown << " match(es) found.\n";
        return options.valueName && shown == 0 ? 1 : 0;
    }
    out << "\n";
    if (options.valueName) {
        if (!key->QueryValue(*options.valueName)) {
            err << NotFound;
            return 1;
        }
        PrintKey(*key, key->FullName(), options, out);
        return 0;
    }
    PrintKey(*key, key->FullName(), options, out);
    for (const std::string& sub : key->SubKeyNames()) {
        out << key->FullName() << "\\" << sub << "\n";
    }
    return 0;
}

// --- add
// ------------------------------------------------------------------------------------------

std::optional<std::string> EncodeDword(const std::string& text) {
    if (text.empty()) {
        return DwordBytes(0);
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const std::string allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos ||
        digits.size() > (hex ? 8u : 10u)) {
        return std::nullopt;
    }
    const unsigned long long value = std::stoull(digits, nullptr, hex ? 16 : 10);
    if (value > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return DwordBytes(static_cast<uint32_t>(value));
}

std::optional<std::string> EncodeBinary(const std::string& text) {
    if (text.size() % 2 != 0 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

std::optional<std::string> EncodeData(uint32_t type, const std::string& text) {
    switch (type) {
    case RegType::Dword:
        return EncodeDword(text);
    case RegType::Binary:
        return EncodeBinary(text);
    default:
        return text + '\0';
    }
}

bool ValueExists(const KeyName& name, const std::string& valueName) {
    const auto key = RegistryKey::Open(name.root, name.path);
    return key && key->QueryValue(valueName);
}

int Add(Options options, const KeyName& name, std::istream& in, std::ostream& out,
        std::ostream& err) {
    const auto type = ParseRegTypeName(options.type.value_or("REG_SZ"));
    if (!type || *type < RegType::Sz || *type > RegType::Dword) {
        return Fail(err, "unsupported type '" + options.type.value_or("") +
                             "' (REG_SZ, REG_EXPAND_SZ, REG_BINARY or REG_DWORD)");
    }
    const auto data = EncodeData(*type, options.data.value_or(""));
    if (!data) {
        return Fail(err, "'" + options.data.value_or("") + "' is no valid " + RegTypeName(*type) +
                             (*type == RegType::Binary ? " (pairs of hexadecimal digits)"
                                                       : " (0 to 4294967295, or 0x..)"));
    }
    if (!options.valueName && (options.type || options.data)) {
        options.valueName = "";
    }
    if (options.valueName && !options.force && ValueExists(name, *options.valueName)) {
        const std::string shown = options.valueName->empty() ? "(Default)" : *options.valueName;
        if (!Confirm(in, out, "Value " + shown + " exists, overwrite")) {
            return Cancelled(out);
        }
    }
    auto key = RegistryKey::Create(name.root, name.path);
    if (!key) {
        return Fail(err, "the key cannot be created: " + UnwritableRegistryText());
    }
    if (options.valueName) {
        key->SetValue(*options.valueName, *type, *data);
    }
    out << Done;
    return 0;
}

// --- delete
// -----------------------------------------------------------------------------------------

int DeleteValues(RegistryKey& key, const Options& options, std::istream& in, std::ostream& out,
                 std::ostream& err) {
    if (options.valueName && !key.QueryValue(*options.valueName)) {
        err << NotFound;
        return 1;
    }
    const std::string question =
        options.allValues ? "Delete all values under the registry key " + key.FullName()
                          : "Delete the registry value " +
                                (options.valueName->empty() ? "(Default)" : *options.valueName);
    if (!options.force && !Confirm(in, out, question)) {
        return Cancelled(out);
    }
    if (options.allValues) {
        for (const RegistryValue& value : key.Values()) {
            key.DeleteValue(value.name);
        }
    } else {
        key.DeleteValue(*options.valueName);
    }
    out << Done;
    return 0;
}

int Delete(const Options& options, const KeyName& name, std::istream& in, std::ostream& out,
           std::ostream& err) {
    auto key = RegistryKey::Open(name.root, name.path);
    if (!key) {
        err << NotFound;
        return 1;
    }
    if (options.valueName || options.allValues) {
        return DeleteValues(*key, options, in, out, err);
    }
    if (name.path.empty()) {
        return Fail(err, "a root key cannot be deleted");
    }
    if (!options.force &&
        !Confirm(in, out, "Permanently delete the registry key " + key->FullName())) {
        return Cancelled(out);
    }
    const auto parent = RegistryKey::Open(name.root, ParentKeyPath(name.path));
    if (!parent || !parent->DeleteSubKeyTree(LastKeyLevel(name.path))) {
        err << NotFound;
        return 1;
    }
    out << Done;
    return 0;
}

// --- export and import
// --------------------------------------------------------------------------------

std::vector<RegFileKey> CollectTree(std::unique_ptr<RegistryKey> top) {
    std::vector<RegFileKey> keys;
    WalkTree(std::move(top), [&](const RegistryKey& key, const std::string& path) {
        RegFileKey entry{{key.Root(), path}, false, {}};
        for (RegistryValue& value : key.Values()) {
            entry.values.push_back(
                {std::move(value.name), false, value.type, std::move(value.data)});
        }
        keys.push_back(std::move(entry));
    });
    return keys;
}

int Export(const Options& options, const KeyName& name, std::istream& in, std::ostream& out,
           std::ostream& err) {
    auto key = RegistryKey::Open(name.root, name.path);
    if (!key) {
        err << NotFound;
        return 1;
    }
    const fs::path file = options.positional[1];
    std::error_code ec;
    if (fs::exists(file, ec) && !options.force &&
        !Confirm(in, out, "File " + file.string() + " already exists. Overwrite")) {
        return Cancelled(out);
    }
    WriteFileInOnePiece(file.string(), FormatRegFile(CollectTree(std::move(key))));
    out << Done;
    return 0;
}

void ApplyKey(RegistryTransaction& transaction, const RegFileKey& entry) {
    if (entry.remove) {
        const auto parent = transaction.Open(entry.key.root, ParentKeyPath(entry.key.path));
        if (parent && !entry.key.path.empty()) {
            parent->DeleteSubKeyTree(LastKeyLevel(entry.key.path));
        }
        return;
    }
    auto key = transaction.Create(entry.key.root, entry.key.path);
    if (!key) {
        throw RegistryError(UnwritableRegistryText());
    }
    for (const RegFileValue& value : entry.values) {
        if (value.remove) {
            key->DeleteValue(value.name);
        } else {
            key->SetValue(value.name, value.type, value.data);
        }
    }
}

// What an administrator deploys is a few kilobytes; far more is no settings file.
constexpr size_t MaxImportBytes = 4 << 20;

// The file's bytes, or nothing after telling why: only a regular file, and only up to the limit.
std::optional<std::string> ReadImportFile(const std::string& file, std::ostream& err) {
    std::error_code ec;
    const auto status = fs::status(file, ec);
    if (ec || !fs::exists(status)) {
        Fail(err, "cannot open " + file);
        return std::nullopt;
    }
    if (!fs::is_regular_file(status)) {
        Fail(err, file + " is not a regular file; nothing was imported");
        return std::nullopt;
    }
    std::string bytes;
    try {
        bytes = ReadFileStart(file, MaxImportBytes + 1);
    } catch (const FileError& failure) {
        Fail(err, "cannot read " + file + " (" + failure.what() + "); nothing was imported");
        return std::nullopt;
    }
    if (bytes.size() > MaxImportBytes) {
        Fail(err, file + " is larger than " + std::to_string(MaxImportBytes >> 20) +
                      " MiB, too large for a settings file; nothing was imported");
        return std::nullopt;
    }
    return bytes;
}

// All or nothing: the keys go into the hive in one transaction.
int Import(const Options& options, std::ostream& out, std::ostream& err) {
    const std::string& file = options.positional[0];
    const auto bytes = ReadImportFile(file, err);
    if (!bytes) {
        return 1;
    }
    const RegFileParse parsed = ParseRegFile(*bytes);
    if (!parsed.ok()) {
        return Fail(err, file + ": " + parsed.error + "; nothing was imported");
    }
    const auto transaction = RegistryTransaction::Begin();
    if (!transaction) {
        return Fail(err, "the hive " + RegistryHivePath().string() +
                             " cannot be written; nothing was imported");
    }
    try {
        for (const RegFileKey& entry : parsed.keys) {
            ApplyKey(*transaction, entry);
        }
        transaction->Commit();
    } catch (const QuarnError& failure) {
        return Fail(err, std::string(failure.what()) + "; nothing was imported");
    }
    out << Done;
    return 0;
}

void TellAboutTheHive(std::ostream& err) {
    if (const auto aside = TakeMovedAsideHive()) {
        err << "lirn-quarn: Registrierungsdatei " << RegistryHivePath() << " ist ungültig; sie "
            << "wurde nach " << *aside << " verschoben und eine neue angelegt.\n";
    }
    if (const auto foreign = TakeForeignHive()) {
        err << "lirn-quarn: " << *foreign << " gehört einem anderen Benutzer; die "
            << "Registrierung dort wird weder gelesen noch geändert.\n";
    }
}

int Dispatch(const Options& options, std::istream& in, std::ostream& out, std::ostream& err) {
    if (options.verb == "import") {
        return Import(options, out, err);
    }
    const auto name = ParseKeyName(options.positional[0]);
    if (!name) {
        return Fail(err, "invalid key name '" + options.positional[0] +
                             "' (it starts with a root "
                             "such as HKCU)");
    }
    if (options.verb == "query") {
        return Query(options, *name, out, err);
    }
    if (options.verb == "add") {
        return Add(options, *name, in, out, err);
    }
    if (options.verb == "delete") {
        return Delete(options, *name, in, out, err);
    }
    return Export(options, *name, in, out, err);
}

} // namespace

int RunQuarnReg(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err) {
    if (args.empty()) {
        err << "ERROR: Invalid syntax.\n" << Usage;
        return 1;
    }
    if (args.front() == "/?" || args.front() == "-h" || args.front() == "--help") {
        out << Usage;
        return 0;
    }
    std::string error;
    const auto options = ParseOptions(args, error);
    if (!options) {
        err << "ERROR: Invalid syntax: " << error << ".\n" << Usage;
        return 1;
    }
    int result = 0;
    try {
        result = Dispatch(*options, in, out, err);
    } catch (const QuarnError& failure) {
        result = Fail(err, failure.what());
    } catch (const std::bad_alloc&) {
        result = Fail(err, "not enough memory; nothing was changed");
    }
    TellAboutTheHive(err);
    return result;
}
