#pragma once
// What the virtual-monitor driver and monitor-sim share: where a monitor's socket lives, the
// checks that keep other users out, and small blocking socket helpers with time-outs.
//
// Requests are one line each; a monitor answers one line:
//   INFO               -> "MONITOR <serial>\t<description>"
//   OPEN               -> "OK" (the socket then carries the monitor's bytes) or "BUSY"
//   SEND <pause> <hex> -> "OK" once the bytes went out at line speed, or "ERR <text>";
//                         <pause> ms between the first 8 bytes and the rest (0: none)
//   UNPLUG             -> "OK", and the monitor ends

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ftd2xx::virtualmonitor {

constexpr size_t MaxSerialNumberLength = 16;
constexpr size_t MaxDescriptionLength = 64;
constexpr const char* SocketSuffix = ".sock";
// An answer a running monitor gives at once; a generous bound for a busy machine.
constexpr int AnswerTimeoutMs = 2000;

// Owns a file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Holds an exclusive lock on the folder while monitors bind and stale sockets are removed.
class FolderLock {
public:
    // Blocks until locked, or only tries when wait is false; locked() says whether it got it.
    FolderLock(const std::string& folder, bool wait);
    bool locked() const { return locked_; }

private:
    Fd fd_;
    bool locked_ = false;
};

// $XDG_RUNTIME_DIR/lirn-quarn, or nothing (with the reason) when the variable is not set.
std::optional<std::string> MonitorFolder(std::string& error);
// Creates the folder with mode 0700 or tightens our own; refuses one that belongs to another.
bool PrepareFolder(const std::string& folder, std::string& error);
// The folder exists, is ours and nobody else may enter it.
bool FolderIsPrivate(const std::string& folder);

bool ValidSerialNumber(std::string_view serialNumber, std::string& error);
bool ValidDescription(std::string_view description, std::string& error);
std::string SocketPath(const std::string& folder, std::string_view serialNumber);
// Serial numbers of the socket files in the folder, sorted; live or not.
std::vector<std::string> SocketSerialNumbers(const std::string& folder);

enum class ConnectResult { Connected, NobodyListening, Failed };
ConnectResult Connect(const std::string& path, Fd& out);

bool SendAll(int fd, std::string_view bytes, int timeoutMs);
// One line without its "\n", read byte by byte so that nothing behind it is consumed.
bool ReadLine(int fd, std::string& line, int timeoutMs);
// Connects, sends the request line and returns the answer line.
bool Ask(const std::string& path, const std::string& request, std::string& answer,
         int timeoutMs = AnswerTimeoutMs);

std::string HexEncode(std::string_view bytes);
std::optional<std::string> HexDecode(std::string_view text);

uint64_t SteadyNowMs();

} // namespace ftd2xx::virtualmonitor
