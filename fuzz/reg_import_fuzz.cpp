// Any bytes as a .reg file to import: the parser must neither crash nor let a name through that
// the hive cannot hold, and once written out, what it understood must read back the same.

#include "platform/registry/RegFile.h"
#include "platform/text/Text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool IsStorableName(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) {
        return false;
    }
    for (size_t pos = 0; pos < name.size();) {
        if (!NextUtf8(name, pos)) {
            return false;
        }
    }
    return true;
}

void CheckSameKeys(const std::vector<RegFileKey>& a, const std::vector<RegFileKey>& b) {
    Require(a.size() == b.size(), "every key comes back");
    for (size_t k = 0; k < a.size(); ++k) {
        Require(a[k].key.root == b[k].key.root && a[k].key.path == b[k].key.path &&
                    a[k].remove == b[k].remove,
                "keys come back");
        Require(a[k].values.size() == b[k].values.size(), "every value comes back");
        for (size_t v = 0; v < a[k].values.size(); ++v) {
            const RegFileValue& x = a[k].values[v];
            const RegFileValue& y = b[k].values[v];
            Require(x.name == y.name && x.remove == y.remove && x.type == y.type &&
                        x.data == y.data,
                    "values come back");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RegFileParse parsed = ParseRegFile(bytes);
    if (!parsed.ok()) {
        Require(parsed.keys.empty(), "a refused file gives no keys");
        Require(parsed.error.starts_with("line "), "a refusal names its line");
        return 0;
    }
    for (const RegFileKey& key : parsed.keys) {
        Require(IsStorableName(key.key.path), "key names are text without NUL");
        for (const RegFileValue& value : key.values) {
            Require(IsStorableName(value.name), "value names are text without NUL");
        }
    }

    // Blanks at the ends of a bracketed key name do not survive the first writing; after it,
    // writing and reading change nothing.
    const RegFileParse written = ParseRegFile(FormatRegFile(parsed.keys));
    Require(written.ok(), "what was written out reads again");
    Require(written.keys.size() == parsed.keys.size(), "every key is written");
    const RegFileParse rewritten = ParseRegFile(FormatRegFile(written.keys));
    Require(rewritten.ok(), "what was written out twice reads again");
    CheckSameKeys(written.keys, rewritten.keys);
    return 0;
}
