#include "common/ToolRunner.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ApplyLimits(const ToolLimits& limits) {
    if (limits.openFiles != 0) {
        const rlimit openFiles{limits.openFiles, limits.openFiles};
        setrlimit(RLIMIT_NOFILE, &openFiles);
    }
    if (limits.fileSizeBytes != 0) {
        const rlimit fileSize{limits.fileSizeBytes, limits.fileSizeBytes};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        signal(SIGXFSZ, limits.endedBeyondIt ? SIG_DFL : SIG_IGN);
    }
}

[[noreturn]] void ExecTool(const fs::path& scratch, const std::string& program,
                           const std::vector<std::string>& args, const ToolLimits& limits) {
    const int in = open((scratch / "in").c_str(), O_RDONLY);
    const int out = open((scratch / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((scratch / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    ApplyLimits(limits);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

} // namespace

ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                   const std::string& input, const ToolLimits& limits) {
    const fs::path scratch =
        fs::temp_directory_path() / ("quarn-tool-run-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    std::ofstream(scratch / "in", std::ios::binary) << input;
    const std::string program = std::string(QUARN_BIN_DIR) + "/" + tool;
    const pid_t child = fork();
    if (child == 0) {
        ExecTool(scratch, program, args, limits);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ToolResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(scratch / "out"),
                      ReadAll(scratch / "err")};
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return result;
}
