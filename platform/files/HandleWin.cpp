#include "platform/files/HandleWin.h"

#include <utility>
#include <windows.h>

OwnedHandle& OwnedHandle::operator=(OwnedHandle&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

OwnedHandle::operator bool() const {
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
}

void* OwnedHandle::release() {
    return std::exchange(handle_, nullptr);
}

void OwnedHandle::reset(void* handle) {
    if (*this) {
        CloseHandle(handle_);
    }
    handle_ = handle;
}

bool OwnedHandle::close() {
    const bool closed = !*this || CloseHandle(handle_) != 0;
    handle_ = nullptr;
    return closed;
}
