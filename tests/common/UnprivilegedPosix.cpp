#include "common/UnprivilegedPosix.h"

#include <cerrno>
#include <exception>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;

void WriteToPipe(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += static_cast<size_t>(written);
    }
}

std::string ReadPipe(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return text;
        }
        text.append(buffer, static_cast<size_t>(count));
    }
}

[[noreturn]] void RunChild(int fd, const std::function<std::string()>& body) {
    if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) {
        WriteToPipe(fd, "cannot drop root rights");
        ::_exit(1);
    }
    try {
        WriteToPipe(fd, body());
    } catch (const std::exception& error) {
        WriteToPipe(fd, std::string("uncaught: ") + error.what());
    }
    ::_exit(0);
}

} // namespace

std::string RunUnprivileged(const std::function<std::string()>& body) {
    if (::geteuid() != 0) {
        return body();
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ::close(fds[0]);
        RunChild(fds[1], body);
    }
    ::close(fds[1]);
    std::string text = ReadPipe(fds[0]);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return text;
}
