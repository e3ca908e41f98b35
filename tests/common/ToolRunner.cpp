#include "common/ToolRunner.h"

#include "common/Process.h"
#include "common/TestEnvironment.h"

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// A console program of Windows ends its lines with CR LF; the tests compare lines.
std::string ReadLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

} // namespace

ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                   const std::string& input, const ToolLimits& limits) {
    const fs::path scratch = MakeTemporaryFolder("quarn-tool-run");
    std::ofstream(scratch / "in", std::ios::binary) << input;
    ToolResult result;
    {
        const ScopedToolLimits applied(limits);
        ChildProcess process(tool, args, scratch / "out", scratch / "err", scratch / "in");
        result.exitCode = process.started() ? process.wait() : 127;
    }
    result.out = ReadLines(scratch / "out");
    result.err = ReadLines(scratch / "err");
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return result;
}
