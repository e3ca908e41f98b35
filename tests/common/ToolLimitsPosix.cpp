#include "common/ToolRunner.h"

#include <csignal>
#include <sys/resource.h>

// Only the soft limits are lowered, so that they can be raised again afterwards.
struct ScopedToolLimits::Impl {
    rlimit savedFileSize{};
    rlimit savedOpenFiles{};
    struct sigaction savedSignal {};
};

ScopedToolLimits::ScopedToolLimits(const ToolLimits& limits) : impl_(std::make_unique<Impl>()) {
    getrlimit(RLIMIT_FSIZE, &impl_->savedFileSize);
    getrlimit(RLIMIT_NOFILE, &impl_->savedOpenFiles);
    sigaction(SIGXFSZ, nullptr, &impl_->savedSignal);
    if (limits.fileSizeBytes != 0) {
        rlimit fileSize = impl_->savedFileSize;
        fileSize.rlim_cur = limits.fileSizeBytes;
        setrlimit(RLIMIT_FSIZE, &fileSize);
        // An ignored signal stays ignored across exec: the write then fails as on a full disk.
        signal(SIGXFSZ, limits.endedBeyondIt ? SIG_DFL : SIG_IGN);
    }
    if (limits.openFiles != 0) {
        rlimit openFiles = impl_->savedOpenFiles;
        openFiles.rlim_cur = limits.openFiles;
        setrlimit(RLIMIT_NOFILE, &openFiles);
    }
}

ScopedToolLimits::~ScopedToolLimits() {
    setrlimit(RLIMIT_NOFILE, &impl_->savedOpenFiles);
    setrlimit(RLIMIT_FSIZE, &impl_->savedFileSize);
    sigaction(SIGXFSZ, &impl_->savedSignal, nullptr);
}
