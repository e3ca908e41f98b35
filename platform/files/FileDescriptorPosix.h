#pragma once
// Owns one open file descriptor of the POSIX layers and closes it when it goes.

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int release();
    // Closes the descriptor held, if any, and takes fd.
    void reset(int fd = -1);
    // Closes now, so that a failing close can be reported; false with errno telling why.
    bool close();

private:
    int fd_ = -1;
};
