#include "platform/shell/Shell.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Call {
    ShellVerb verb;
    std::string path;

    bool operator==(const Call&) const = default;
};

void PrintTo(const Call& call, std::ostream* out) {
    *out << (call.verb == ShellVerb::Open ? "open " : "print ") << call.path;
}

TEST(ShellTest, HandOffIsReplacedForAScopeAndRestoredAfterIt) {
    std::vector<Call> outer;
    std::vector<Call> inner;
    ScopedShellHandOff first([&](ShellVerb verb, const std::string& path) {
        outer.push_back({verb, path});
    });
    {
        ScopedShellHandOff second([&](ShellVerb verb, const std::string& path) {
            inner.push_back({verb, path});
        });
        ShellExecute(ShellVerb::Print, "/pdf/lirn.pdf");
    }
    ShellExecute(ShellVerb::Open, "/pdf/lirn.pdf");
    EXPECT_EQ(inner, (std::vector<Call>{{ShellVerb::Print, "/pdf/lirn.pdf"}}));
    EXPECT_EQ(outer, (std::vector<Call>{{ShellVerb::Open, "/pdf/lirn.pdf"}}));
}

} // namespace
