#include "common/BlockedFile.h"
#include "common/WithoutFileOverridePosix.h"

namespace fs = std::filesystem;

struct ScopedBlockedFile::Impl {
    fs::path file;
    ScopedWithoutFileOverride asUser;
};

ScopedBlockedFile::ScopedBlockedFile(const fs::path& file) {
    fs::permissions(file, fs::perms::none);
    fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    impl_ = std::make_unique<Impl>();
    impl_->file = file;
}

ScopedBlockedFile::~ScopedBlockedFile() {
    const fs::path file = impl_->file;
    impl_.reset();
    std::error_code ignored;
    fs::permissions(file.parent_path(), fs::perms::owner_all, ignored);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, ignored);
}

std::string ScopedBlockedFile::ReadErrorText() {
    return "Dateizugriff verweigert";
}

std::string ScopedBlockedFile::ReplaceErrorText() {
    return "Permission denied";
}

struct ScopedUndeletableFile::Impl {
    fs::path folder;
    fs::perms saved;
    ScopedWithoutFileOverride asUser;
};

ScopedUndeletableFile::ScopedUndeletableFile(const fs::path& file) {
    const fs::path folder = file.parent_path();
    const fs::perms saved = fs::status(folder).permissions();
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    impl_ = std::make_unique<Impl>();
    impl_->folder = folder;
    impl_->saved = saved;
}

ScopedUndeletableFile::~ScopedUndeletableFile() {
    const fs::path folder = impl_->folder;
    const fs::perms saved = impl_->saved;
    impl_.reset();
    std::error_code ignored;
    fs::permissions(folder, saved, ignored);
}
