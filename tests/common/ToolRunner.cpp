#include "common/ToolRunner.h"

#include "common/Process.h"
#include "common/TestEnvironment.h"

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                   const std::string& input) {
    const fs::path scratch = MakeTemporaryFolder("quarn-tool-run");
    std::ofstream(scratch / "in", std::ios::binary) << input;
    ToolResult result;
    {
        ChildProcess process(tool, args, scratch / "out", scratch / "err", scratch / "in");
        result.exitCode = process.started() ? process.wait() : 127;
    }
    result.out = ReadAll(scratch / "out");
    result.err = ReadAll(scratch / "err");
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return result;
}
