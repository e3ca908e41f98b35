#include "common/BlockedFile.h"
#include "platform/files/HandleWin.h"
#include "platform/text/WideTextWin.h"

#include <stdexcept>
#include <windows.h>

struct ScopedBlockedFile::Impl {
    OwnedHandle holder;
};

ScopedBlockedFile::ScopedBlockedFile(const std::filesystem::path& file)
    : impl_(std::make_unique<Impl>()) {
    impl_->holder.reset(CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->holder) {
        throw std::runtime_error("the file to block cannot be opened");
    }
}

ScopedBlockedFile::~ScopedBlockedFile() = default;

// The system's own number for a file another program holds: 32.
std::string ScopedBlockedFile::ReadErrorText() {
    return "E/A-Fehler 32";
}

std::string ScopedBlockedFile::ReplaceErrorText() {
    return SystemErrorText(ERROR_ACCESS_DENIED);
}

struct ScopedUndeletableFile::Impl {
    OwnedHandle holder;
};

ScopedUndeletableFile::ScopedUndeletableFile(const std::filesystem::path& file)
    : impl_(std::make_unique<Impl>()) {
    impl_->holder.reset(CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->holder) {
        throw std::runtime_error("the file to hold cannot be opened");
    }
}

ScopedUndeletableFile::~ScopedUndeletableFile() = default;
