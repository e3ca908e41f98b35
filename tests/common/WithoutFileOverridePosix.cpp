#include "common/WithoutFileOverridePosix.h"

#include <stdexcept>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int FileOverrideCapabilities[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

} // namespace

ScopedWithoutFileOverride::ScopedWithoutFileOverride() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (syscall(SYS_capget, &header_, saved_) != 0) {
        throw std::runtime_error("capget failed");
    }
    __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3];
    for (int i = 0; i < _LINUX_CAPABILITY_U32S_3; ++i) {
        reduced[i] = saved_[i];
    }
    for (int capability : FileOverrideCapabilities) {
        reduced[CAP_TO_INDEX(capability)].effective &= ~CAP_TO_MASK(capability);
    }
    if (syscall(SYS_capset, &header_, reduced) != 0) {
        throw std::runtime_error("capset failed");
    }
    dropped_ = true;
}

ScopedWithoutFileOverride::~ScopedWithoutFileOverride() {
    if (dropped_) {
        syscall(SYS_capset, &header_, saved_);
    }
}
