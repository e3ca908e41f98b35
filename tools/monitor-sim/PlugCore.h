#pragma once
// What an attached monitor does, whatever carries its lines: it answers its callers' requests,
// lets one program open it, and sends the bytes it is asked to send at line speed. The system's
// part (PlugPosix.cpp, PlugWin.cpp) listens, waits and moves the bytes of each link.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace monitorsim {

// One connection of the monitor: a caller with its request, or the program that opened it.
class Link {
public:
    virtual ~Link() = default;
    // Writes every byte; false when the other end is gone.
    virtual bool send(std::string_view bytes) = 0;
    // What is waiting, at most `most` bytes, without waiting itself; "" when nothing is, nothing
    // when the other end is gone.
    virtual std::optional<std::string> receive(std::size_t most) = 0;
};

class PlugCore {
public:
    // withdraw makes the monitor vanish from the listings; it runs before UNPLUG is answered.
    PlugCore(std::string serialNumber, std::string description, std::function<void()> withdraw);
    ~PlugCore();
    PlugCore(const PlugCore&) = delete;
    PlugCore& operator=(const PlugCore&) = delete;

    const std::string& serialNumber() const { return serialNumber_; }
    const std::string& description() const { return description_; }

    void addCaller(std::unique_ptr<Link> caller);
    bool hasCallers() const { return !callers_.empty(); }
    // The program that opened the monitor, then the callers; valid until the next call.
    std::vector<Link*> links() const;
    Link* program() const { return program_.get(); }

    // Reads what the program and the callers sent and answers the callers' requests; false once
    // one asked to unplug.
    bool serve();
    // Sends every byte that is due by now.
    void sendDueBytes();
    // Microseconds until the next byte is due (0: now); nothing while none is on its way.
    std::optional<uint64_t> microsecondsToNextByte() const;
    // The program is gone and the callers too; waiting senders are told why.
    void dropAll(const std::string& reason);

private:
    struct Caller {
        std::unique_ptr<Link> link;
        std::string input;
    };
    // Bytes on their way to the program, one after the other at line speed.
    struct Job {
        std::string bytes;
        uint32_t pauseMs = 0;
        std::unique_ptr<Link> requester;
        std::size_t next = 0;
        uint64_t startUs = 0;

        uint64_t dueUs(std::size_t index) const;
    };

    void watchProgram();
    void serveCaller(Caller& caller);
    void handle(Caller& caller, const std::string& request);
    void queueSend(Caller& caller, const std::string& arguments);
    void failJobs(const std::string& reason);

    std::string serialNumber_;
    std::string description_;
    std::function<void()> withdraw_;
    std::unique_ptr<Link> program_;
    std::vector<Caller> callers_;
    std::deque<Job> jobs_;
    bool plugged_ = true;
};

// Now on the steady clock, in microseconds.
uint64_t NowUs();

} // namespace monitorsim
