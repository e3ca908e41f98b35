#include "common/ToolRunner.h"

#include <gtest/gtest.h>

struct ScopedToolLimits::Impl {};

ScopedToolLimits::ScopedToolLimits(const ToolLimits& limits) {
    if (limits.fileSizeBytes != 0 || limits.openFiles != 0) {
        ADD_FAILURE() << "process limits are set on POSIX only";
    }
}

ScopedToolLimits::~ScopedToolLimits() = default;
