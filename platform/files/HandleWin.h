#pragma once
// Owns one handle of the Windows layers and closes it when it goes. Kept free of <windows.h>:
// a handle is a pointer, and both null and INVALID_HANDLE_VALUE mean none.

class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(void* handle) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept;
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    void* get() const { return handle_; }
    explicit operator bool() const;
    void* release();
    void reset(void* handle = nullptr);
    // Closes now, so that a failing close can be reported; false with GetLastError telling why.
    bool close();

private:
    void* handle_ = nullptr;
};
