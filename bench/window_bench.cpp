// Measures the main window with a virtual monitor: frame-to-display latency, CPU while connected
// and idle, time from start to the window shown, resident memory. Run from build/bin (it starts
// the monitor-sim beside it), under xvfb-run or with QT_QPA_PLATFORM=offscreen.
//   window_bench [FRAMES]

#include "app/Main.h"
#include "app/SettingKeys.h"
#include "app/Units.h"
#include "device/D2XXUnit.h"
#include "platform/ftd2xx/VirtualMonitorLink.h"
#include "support/VexAbstract.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace vm = ftd2xx::virtualmonitor;

const char* const Serial = "QBENCH01";

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string TempHome() {
    char pattern[] = "/tmp/quarn-bench-XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string config = root + "/config";
    const std::string runtime = root + "/runtime";
    mkdir(config.c_str(), 0700);
    mkdir(runtime.c_str(), 0700);
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    return root;
}

pid_t StartMonitor(const std::string& binDir) {
    const std::string tool = binDir + "/monitor-sim";
    std::vector<std::string> args = {tool, "plug", "--serial", Serial, "--description", "Bench"};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string Hex2(int value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string Frame(int systole, int diastole, int pulse, int mad) {
    const int difference = systole - diastole;
    const int checksum = difference ^ diastole ^ pulse ^ mad;
    return "80" + Hex2(difference) + Hex2(diastole) + Hex2(pulse) + Hex2(mad) + "00" +
           Hex2(checksum);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string StatusLine(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return line;
        }
    }
    return key;
}

void WaitWhile(QApplication& app, const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (condition() && Clock::now() < deadline) {
        app.processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

struct Sample {
    double latencyMs;
    int polls;
};

} // namespace

int main(int argc, char* argv[]) {
    const auto started = Clock::now();
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const std::string home = TempHome();
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    QApplication app(argc, argv);
    const std::string binDir = QCoreApplication::applicationDirPath().toStdString();
    StartUnits();
    // Every measurement writes its report, as in a practice.
    const std::string pdfFolder = home + "/pdf";
    mkdir(pdfFolder.c_str(), 0700);
    AppSettings->WriteString(PdfFolderKey, pdfFolder);
    auto form = std::make_unique<TFrmMain>();
    form->show();
    WaitWhile(
        app, [&] { return !form->windowHandle() || !form->windowHandle()->isExposed(); }, 10000);
    const double startupMs = Ms(Clock::now() - started);

    const pid_t monitor = StartMonitor(binDir);
    WaitWhile(
        app, [&] { return !form->Connected; }, 10000);
    if (!form->Connected) {
        std::fprintf(stderr, "window_bench: the virtual monitor was not connected\n");
        kill(monitor, SIGTERM);
        return 1;
    }

    // Idle while connected: the poll reads for 50 ms every 150 ms and finds nothing.
    const double cpuBefore = CpuSeconds();
    const auto idleStart = Clock::now();
    WaitWhile(
        app, [&] { return Clock::now() - idleStart < std::chrono::seconds(10); }, 11000);
    const double idleCpuPercent =
        100.0 * (CpuSeconds() - cpuBefore) / (Ms(Clock::now() - idleStart) / 1000.0);

    // The poll that shows a frame runs just before this queued slot.
    std::atomic<int> polls{0};
    QObject::connect(
        form->TmUSB, &QTimer::timeout, &app, [&] { ++polls; }, Qt::QueuedConnection);

    std::string error;
    const std::string socket = vm::MonitorAddress(*vm::MonitorFolder(error), Serial);
    std::vector<Sample> samples;
    std::mt19937 random(42);
    for (int i = 0; i < frames; ++i) {
        const std::string systole = std::to_string(100 + i % 100);
        const std::string request = "SEND 0 " + vm::HexEncode(Frame(100 + i % 100, 70, 60, 90));
        std::atomic<bool> sent{false};
        Clock::time_point lastByte;
        int pollsAtLastByte = 0;
        // Sent from another thread so the window's loop keeps running, at a random phase.
        std::thread sender([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 150));
            std::string answer;
            vm::Ask(socket, request, answer);
            lastByte = Clock::now();
            pollsAtLastByte = polls.load();
            sent = true;
        });
        WaitWhile(
            app, [&] { return !(sent && form->LblUSBSystole->text().toStdString() == systole); },
            5000);
        const auto shown = Clock::now();
        sender.join();
        samples.push_back({Ms(shown - lastByte), polls.load() - pollsAtLastByte});
    }

    std::vector<double> latencies;
    int worstPolls = 0;
    for (const Sample& s : samples) {
        latencies.push_back(s.latencyMs);
        worstPolls = std::max(worstPolls, s.polls);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("platform            %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("start to window     %.0f ms\n", startupMs);
    std::printf("idle CPU connected  %.2f %%\n", idleCpuPercent);
    std::printf("frames              %d\n", frames);
    std::printf("latency median      %.1f ms\n", latencies[latencies.size() / 2]);
    std::printf("latency worst       %.1f ms\n", latencies.back());
    std::printf("polls after frame   at most %d\n", worstPolls);
    std::printf("%s\n%s\n", StatusLine("VmRSS").c_str(), StatusLine("VmHWM").c_str());

    kill(monitor, SIGTERM);
    waitpid(monitor, nullptr, 0);
    form->close();
    StopUnits();
    form.reset();
    std::filesystem::remove_all(home);
    return 0;
}
