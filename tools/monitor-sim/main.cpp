// monitor-sim: plays an attached blood-pressure monitor without hardware.

#include "platform/ftd2xx/VirtualMonitorLink.h"
#include "platform/ftd2xx/ftd2xx.h"
#include "tools/monitor-sim/Frames.h"
#include "tools/monitor-sim/Plug.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace ftd2xx::virtualmonitor;
using namespace monitorsim;

constexpr const char* DefaultSerialNumber = "QSIM0001";
constexpr const char* DefaultDescription = "lirn Quarn Monitor (virtuell)";
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int MaxSplitMs = 60000;

std::string UsageText() {
    static constexpr const char* Commands[] = {
        "plug [--serial S] [--description D]",
        "measure [--serial S] SYS DIA PULSE MAD [--arrhythmia N] [--bad-checksum] [--split MS]",
        "status [--serial S] TYPE        (TYPE: 81 to 89, hexadecimal)",
        "send [--serial S] TEXT",
        "unplug [--serial S]",
        "list",
    };
    std::string text = "Usage:\n";
    for (const char* command : Commands) {
        text += "  " + ProgramName + " " + command + "\n";
    }
    return text + "With one monitor running, --serial may be left out.\n";
}

struct UsageError {
    std::string message;
};

struct Arguments {
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    std::vector<std::string> positional;
};

Arguments Parse(const std::vector<std::string>& args, const std::set<std::string>& valued,
                const std::set<std::string>& flags) {
    Arguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (valued.count(arg)) {
            if (i + 1 == args.size()) {
                throw UsageError{arg + " needs a value"};
            }
            parsed.options[arg] = args[++i];
        } else if (flags.count(arg)) {
            parsed.flags.insert(arg);
        } else if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
            throw UsageError{"unknown option " + arg};
        } else {
            parsed.positional.push_back(arg);
        }
    }
    return parsed;
}

void ExpectPositional(const Arguments& parsed, size_t count, const std::string& what) {
    if (parsed.positional.size() != count) {
        throw UsageError{"expected " + what};
    }
}

int Fail(const std::string& message) {
    std::cerr << ProgramName << ": " << message << "\n";
    return ExitFailure;
}

std::vector<std::string> LiveMonitors(const std::string& folder) {
    std::vector<std::string> live;
    for (const auto& serial : MonitorSerialNumbers(folder)) {
        std::string answer;
        if (Ask(MonitorAddress(folder, serial), "INFO", answer, ListingTimeoutMs)) {
            live.push_back(serial);
        }
    }
    return live;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

// The socket of the chosen monitor, or nothing after telling the user why.
std::optional<std::string> Target(const Arguments& parsed) {
    std::string error;
    const auto folder = MonitorFolder(error);
    if (!folder) {
        Fail(error);
        return std::nullopt;
    }
    if (auto serial = parsed.options.find("--serial"); serial != parsed.options.end()) {
        if (!ValidSerialNumber(serial->second, error)) {
            throw UsageError{error};
        }
        return MonitorAddress(*folder, serial->second);
    }
    const auto live = LiveMonitors(*folder);
    if (live.empty()) {
        Fail("no monitor is running; start one with '" + ProgramName + " plug'");
        return std::nullopt;
    }
    if (live.size() > 1) {
        Fail("several monitors are running (" + Joined(live) + "); choose one with --serial");
        return std::nullopt;
    }
    return MonitorAddress(*folder, live.front());
}

int Request(const Arguments& parsed, const std::string& request, int timeoutMs) {
    const auto path = Target(parsed);
    if (!path) {
        return ExitFailure;
    }
    std::string answer;
    if (!Ask(*path, request, answer, timeoutMs)) {
        return Fail("the monitor at " + *path + " does not answer; is it plugged in?");
    }
    if (answer != "OK") {
        return Fail(answer.rfind("ERR ", 0) == 0 ? answer.substr(4) : answer);
    }
    return 0;
}

int SendBytes(const Arguments& parsed, const std::string& bytes, int pauseMs) {
    // The monitor answers once the bytes are out at line speed.
    const int timeoutMs = AnswerTimeoutMs + pauseMs + static_cast<int>(bytes.size()) * 2;
    return Request(parsed, "SEND " + std::to_string(pauseMs) + " " + HexEncode(bytes), timeoutMs);
}

int NumberOption(const Arguments& parsed, const std::string& name, int low, int high) {
    const auto it = parsed.options.find(name);
    if (it == parsed.options.end()) {
        return 0;
    }
    const auto value = ParseNumber(it->second, low, high);
    if (!value) {
        throw UsageError{name + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + it->second + "\""};
    }
    return *value;
}

int Plug(const std::vector<std::string>& args) {
    const auto parsed = Parse(args, {"--serial", "--description"}, {});
    ExpectPositional(parsed, 0, "no further arguments");
    const auto serial = parsed.options.count("--serial") ? parsed.options.at("--serial")
                                                         : std::string(DefaultSerialNumber);
    const auto description = parsed.options.count("--description")
                                 ? parsed.options.at("--description")
                                 : std::string(DefaultDescription);
    std::string error;
    if (!ValidSerialNumber(serial, error) || !ValidDescription(description, error)) {
        throw UsageError{error};
    }
    return RunPlug(serial, description);
}

int Measure(const std::vector<std::string>& args) {
    const auto parsed = Parse(args, {"--serial", "--arrhythmia", "--split"}, {"--bad-checksum"});
    ExpectPositional(parsed, 4, "four values: SYS DIA PULSE MAD");
    static const char* Names[] = {"SYS", "DIA", "PULSE", "MAD"};
    int values[4];
    for (int i = 0; i < 4; ++i) {
        const auto value = ParseNumber(parsed.positional[i], 0, 1000000);
        if (!value) {
            throw UsageError{std::string(Names[i]) + " must be a whole number, not \"" +
                             parsed.positional[i] + "\""};
        }
        values[i] = *value;
    }
    MeasurementValues measurement{values[0],
                                  values[1],
                                  values[2],
                                  values[3],
                                  NumberOption(parsed, "--arrhythmia", 0, 255),
                                  parsed.flags.count("--bad-checksum") > 0};
    std::string error;
    const auto frame = MeasurementFrame(measurement, error);
    if (!frame) {
        throw UsageError{error};
    }
    return SendBytes(parsed, *frame, NumberOption(parsed, "--split", 0, MaxSplitMs));
}

int Status(const std::vector<std::string>& args) {
    const auto parsed = Parse(args, {"--serial"}, {});
    ExpectPositional(parsed, 1, "one status TYPE, 81 to 89");
    std::string error;
    const auto frame = StatusFrame(parsed.positional[0], error);
    if (!frame) {
        throw UsageError{error};
    }
    return SendBytes(parsed, *frame, 0);
}

int Send(const std::vector<std::string>& args) {
    const auto parsed = Parse(args, {"--serial"}, {});
    ExpectPositional(parsed, 1, "one TEXT to send");
    if (parsed.positional[0].empty()) {
        throw UsageError{"the TEXT to send is empty"};
    }
    return SendBytes(parsed, parsed.positional[0], 0);
}

int Unplug(const std::vector<std::string>& args) {
    const auto parsed = Parse(args, {"--serial"}, {});
    ExpectPositional(parsed, 0, "no further arguments");
    return Request(parsed, "UNPLUG", AnswerTimeoutMs);
}

std::string ListedText(const char* buffer, size_t room) {
    return std::string(buffer, strnlen(buffer, room));
}

// Through the same D2XX calls the program makes, so support staff see what it sees.
int List(const std::vector<std::string>& args) {
    ExpectPositional(Parse(args, {}, {}), 0, "no further arguments");
    uint32_t count = 0;
    if (const FT_STATUS status = FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
        status != FT_OK) {
        return Fail("listing the devices failed with status " + std::to_string(status));
    }
    if (count == 0) {
        std::cout << "No devices.\n";
    }
    for (uint32_t i = 0; i < count; ++i) {
        char serial[FT_SERIAL_NUMBER_SIZE] = {};
        char description[FT_DESCRIPTION_SIZE] = {};
        void* index = reinterpret_cast<void*>(static_cast<uintptr_t>(i));
        FT_ListDevices(index, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
        FT_ListDevices(index, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
        std::cout << i << "\t" << ListedText(serial, sizeof serial) << "\t"
                  << ListedText(description, sizeof description) << "\n";
    }
    return 0;
}

int Dispatch(const std::string& command, const std::vector<std::string>& args) {
    static const std::map<std::string, int (*)(const std::vector<std::string>&)> Commands = {
        {"plug", Plug}, {"measure", Measure}, {"status", Status},
        {"send", Send}, {"unplug", Unplug},   {"list", List},
    };
    if (command == "help" || command == "--help" || command == "-h") {
        std::cout << UsageText();
        return 0;
    }
    const auto it = Commands.find(command);
    if (it == Commands.end()) {
        throw UsageError{"unknown command \"" + command + "\""};
    }
    return it->second(args);
}

} // namespace

std::string monitorsim::ProgramName = "monitor-sim";

int main(int argc, char** argv) {
    if (argc > 0 && argv[0][0] != '\0') {
        ProgramName = std::filesystem::path(argv[0]).filename().string();
    }
    if (argc < 2) {
        std::cerr << UsageText();
        return ExitUsage;
    }
    try {
        return Dispatch(argv[1], std::vector<std::string>(argv + 2, argv + argc));
    } catch (const UsageError& error) {
        std::cerr << ProgramName << ": " << error.message << "\nSee '" << ProgramName
                  << " help'.\n";
        return ExitUsage;
    }
}
