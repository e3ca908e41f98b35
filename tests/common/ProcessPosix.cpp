#include "common/Process.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

struct ChildProcess::Impl {
    pid_t pid = -1;
    std::optional<int> exitCode;

    std::optional<int> collect(int options) {
        if (exitCode || pid < 0) {
            return exitCode;
        }
        int status = 0;
        if (waitpid(pid, &status, options) != pid) {
            return std::nullopt;
        }
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exitCode;
    }
};

std::string BuiltProgram(const std::string& name) {
    return std::string(QUARN_BIN_DIR) + "/" + name;
}

ChildProcess::ChildProcess(const std::string& name, const std::vector<std::string>& args,
                           const std::filesystem::path& output, const std::filesystem::path& errors,
                           const std::filesystem::path& input)
    : impl_(std::make_unique<Impl>()) {
    std::string program = BuiltProgram(name);
    std::vector<std::string> copies(args);
    std::vector<char*> argv{program.data()};
    for (auto& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const auto orNull = [](const std::filesystem::path& path) {
        return path.empty() ? std::string("/dev/null") : path.string();
    };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, orNull(input).c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, orNull(output).c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, orNull(errors).c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        impl_->pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (started() && !poll()) {
        stop();
    }
}

bool ChildProcess::started() const {
    return impl_->pid > 0;
}

std::optional<int> ChildProcess::poll() {
    return impl_->collect(WNOHANG);
}

int ChildProcess::wait() {
    return impl_->collect(0).value_or(-1);
}

int ChildProcess::stop() {
    if (started() && !poll()) {
        kill(impl_->pid, SIGTERM);
    }
    return wait();
}
