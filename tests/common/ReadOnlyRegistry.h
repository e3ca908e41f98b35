#pragma once
// A user's registry that refuses changes to the program's keys, for the helper's lifetime, as
// one the administrator has locked. POSIX makes the hive file read-only; Windows lets everybody
// only read each key that exists below HKEY_CURRENT_USER\Software\Lirn.

#include <memory>

class ScopedReadOnlyRegistry {
public:
    ScopedReadOnlyRegistry();
    ~ScopedReadOnlyRegistry();
    ScopedReadOnlyRegistry(const ScopedReadOnlyRegistry&) = delete;
    ScopedReadOnlyRegistry& operator=(const ScopedReadOnlyRegistry&) = delete;

    // What the system keeps to give the rights back.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
