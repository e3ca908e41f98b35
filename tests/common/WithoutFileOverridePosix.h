#pragma once
// Lets a test meet file permissions as a practice's user does, also when it runs as root: the
// calling thread gives up root's right to override them for the object's lifetime.

#include <linux/capability.h>

class ScopedWithoutFileOverride {
public:
    ScopedWithoutFileOverride();
    ~ScopedWithoutFileOverride();
    ScopedWithoutFileOverride(const ScopedWithoutFileOverride&) = delete;
    ScopedWithoutFileOverride& operator=(const ScopedWithoutFileOverride&) = delete;

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[_LINUX_CAPABILITY_U32S_3]{};
    bool dropped_ = false;
};
