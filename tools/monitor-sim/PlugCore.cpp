#include "tools/monitor-sim/PlugCore.h"

#include "platform/ftd2xx/VirtualMonitorProtocol.h"

#include <charconv>
#include <chrono>

namespace monitorsim {
namespace {

using namespace ftd2xx::virtualmonitor;

// 9600 baud with a start bit, 8 data bits and two stop bits: 11 bits per byte.
constexpr uint64_t ByteTimeUs = 11 * 1000000 / 9600;
// A split frame pauses after this many bytes.
constexpr std::size_t SplitAfterBytes = 8;
// A request longer than this is no request of ours.
constexpr std::size_t MaxRequestBytes = 4096;

void Reply(Link& link, const std::string& line) {
    link.send(line + "\n");
}

} // namespace

uint64_t NowUs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t PlugCore::Job::dueUs(std::size_t index) const {
    const uint64_t pause = pauseMs > 0 && index >= SplitAfterBytes ? pauseMs * 1000ull : 0;
    return startUs + index * ByteTimeUs + pause;
}

PlugCore::PlugCore(std::string serialNumber, std::string description,
                   std::function<void()> withdraw)
    : serialNumber_(std::move(serialNumber)), description_(std::move(description)),
      withdraw_(std::move(withdraw)) {}

PlugCore::~PlugCore() {
    dropAll("the monitor was unplugged");
}

void PlugCore::addCaller(std::unique_ptr<Link> caller) {
    callers_.push_back({std::move(caller), {}});
}

std::vector<Link*> PlugCore::links() const {
    std::vector<Link*> links;
    if (program_) {
        links.push_back(program_.get());
    }
    for (const Caller& caller : callers_) {
        links.push_back(caller.link.get());
    }
    return links;
}

bool PlugCore::serve() {
    if (program_) {
        watchProgram();
    }
    for (std::size_t i = 0; i < callers_.size() && plugged_; ++i) {
        serveCaller(callers_[i]);
    }
    std::erase_if(callers_, [](const Caller& caller) { return !caller.link; });
    return plugged_;
}

// The program only ever closes its end; anything else it sends is ignored.
void PlugCore::watchProgram() {
    if (!program_->receive(256)) {
        program_.reset();
        failJobs("the program closed the monitor");
    }
}

void PlugCore::serveCaller(Caller& caller) {
    const auto bytes = caller.link->receive(512);
    if (!bytes) {
        caller.link.reset();
        return;
    }
    caller.input += *bytes;
    const auto end = caller.input.find('\n');
    if (end != std::string::npos) {
        handle(caller, caller.input.substr(0, end));
    } else if (caller.input.size() > MaxRequestBytes) {
        caller.link.reset();
    }
}

void PlugCore::handle(Caller& caller, const std::string& request) {
    if (request == "INFO") {
        Reply(*caller.link, "MONITOR " + serialNumber_ + "\t" + description_);
    } else if (request == "OPEN" && program_) {
        Reply(*caller.link, "BUSY");
    } else if (request == "OPEN") {
        Reply(*caller.link, "OK");
        program_ = std::move(caller.link);
        return;
    } else if (request.rfind("SEND ", 0) == 0) {
        queueSend(caller, request.substr(5));
        return;
    } else if (request == "UNPLUG") {
        withdraw_();
        program_.reset();
        failJobs("the monitor was unplugged");
        plugged_ = false;
        Reply(*caller.link, "OK");
    } else {
        Reply(*caller.link, "ERR unknown request");
    }
    caller.link.reset();
}

void PlugCore::queueSend(Caller& caller, const std::string& arguments) {
    const auto space = arguments.find(' ');
    uint32_t pauseMs = 0;
    std::optional<std::string> bytes;
    if (space != std::string::npos) {
        const auto [end, failure] =
            std::from_chars(arguments.data(), arguments.data() + space, pauseMs);
        if (failure == std::errc() && end == arguments.data() + space) {
            bytes = HexDecode(std::string_view(arguments).substr(space + 1));
        }
    }
    if (!bytes || bytes->empty()) {
        Reply(*caller.link, "ERR malformed send request");
        caller.link.reset();
        return;
    }
    if (!program_) {
        Reply(*caller.link, "ERR no program has opened the monitor, nothing was sent");
        caller.link.reset();
        return;
    }
    jobs_.push_back(Job{std::move(*bytes), pauseMs, std::move(caller.link)});
}

// Every byte due by now goes in one write, so that a late wake-up does not stretch the line.
void PlugCore::sendDueBytes() {
    while (program_ && !jobs_.empty()) {
        Job& job = jobs_.front();
        const uint64_t now = NowUs();
        if (job.startUs == 0) {
            job.startUs = now;
        }
        std::size_t due = job.next;
        while (due < job.bytes.size() && job.dueUs(due) <= now) {
            ++due;
        }
        if (due == job.next) {
            return;
        }
        if (!program_->send(std::string_view(job.bytes).substr(job.next, due - job.next))) {
            program_.reset();
            failJobs("the program closed the monitor");
            return;
        }
        job.next = due;
        if (job.next < job.bytes.size()) {
            return;
        }
        Reply(*job.requester, "OK");
        jobs_.pop_front();
    }
}

std::optional<uint64_t> PlugCore::microsecondsToNextByte() const {
    if (!program_ || jobs_.empty()) {
        return std::nullopt;
    }
    const Job& job = jobs_.front();
    if (job.startUs == 0) {
        return 0;
    }
    const uint64_t due = job.dueUs(job.next);
    const uint64_t now = NowUs();
    return due <= now ? 0 : due - now;
}

void PlugCore::dropAll(const std::string& reason) {
    program_.reset();
    failJobs(reason);
    callers_.clear();
}

void PlugCore::failJobs(const std::string& reason) {
    for (Job& job : jobs_) {
        Reply(*job.requester, "ERR " + reason);
    }
    jobs_.clear();
}

} // namespace monitorsim
