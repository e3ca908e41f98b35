// Measures the main window with a virtual monitor: frame-to-display latency, CPU while connected
// and idle, the longest the event loop stalls while connected (idle, and while frames arrive),
// time from start to the window shown, closing with Esc, resident memory; with
// --bad-frames, the window under a stream of frames with a wrong checksum for that many seconds:
// open boxes, how long a posted event waits, resident memory. Run from build/bin (it starts the
// monitor-sim beside it), under xvfb-run or with QT_QPA_PLATFORM=offscreen.
//   window_bench [FRAMES] [--bad-frames SECONDS]

#include "app/Main.h"
#include "app/SettingKeys.h"
#include "app/Units.h"
#include "bench/common/BenchSupport.h"
#include "device/D2XXUnit.h"
#include "platform/ftd2xx/VirtualMonitorLinkPosix.h"
#include "support/VexAbstract.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

using Clock = BenchClock;
namespace vm = ftd2xx::virtualmonitor;

const char* const Serial = "QBENCH01";

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

long ResidentKiB(const char* key) {
    const std::string line = StatusLine(key);
    return std::atol(line.c_str() + std::strlen(key) + 1);
}

// The longest queued call to the window, which is how its timers' ticks reach it (a poll is
// one), and the longest event of all, since the last look. A gap longer than every event is
// time the process did not run.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    QObject* timed = nullptr;
    double longestCallMs = 0;
    double longestEventMs = 0;

    bool notify(QObject* receiver, QEvent* event) override {
        const bool call = receiver == timed && event->type() == QEvent::MetaCall;
        const auto start = Clock::now();
        const bool handled = QApplication::notify(receiver, event);
        const double ms = Ms(Clock::now() - start);
        longestEventMs = std::max(longestEventMs, ms);
        longestCallMs = call ? std::max(longestCallMs, ms) : longestCallMs;
        return handled;
    }
};

struct Stalls {
    double longestGapMs;
    double longestPollMs;
    double longestEventMs;
    int gapsOver5Ms;
};

// Runs the event loop for the given time with a 1 ms timer beside the window's: the longest
// gap between its ticks is the longest the window did not answer.
Stalls MeasureStalls(TimedApplication& app, int durationMs) {
    app.longestCallMs = 0;
    app.longestEventMs = 0;
    double longestGapMs = 0;
    int gapsOver5Ms = 0;
    auto lastTick = Clock::now();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        const auto now = Clock::now();
        const double gapMs = Ms(now - lastTick);
        longestGapMs = std::max(longestGapMs, gapMs);
        gapsOver5Ms += gapMs > 5 ? 1 : 0;
        lastTick = now;
    });
    QEventLoop loop;
    QTimer::singleShot(durationMs, &loop, &QEventLoop::quit);
    lastTick = Clock::now();
    probe.start(1);
    loop.exec();
    return {longestGapMs, app.longestCallMs, app.longestEventMs, gapsOver5Ms};
}

// Status frames back to back at line speed, so that polls keep finding a frame begun: each
// waits for the rest of one. They go the measurement frame's way through the read and the
// decoding, without a report.
Stalls StallsWhileFramesArrive(TimedApplication& app, const std::string& socket, int durationMs,
                               long& sent) {
    std::atomic<bool> sending{true};
    std::atomic<long> count{0};
    std::thread sender([&] {
        const std::string request = "SEND 0 " + vm::HexEncode("85000000000000");
        while (sending) {
            std::string answer;
            if (vm::Ask(socket, request, answer) && answer == "OK") {
                ++count;
            }
        }
    });
    const Stalls stalls = MeasureStalls(app, durationMs);
    sending = false;
    sender.join();
    sent = count;
    return stalls;
}

void PrintStalls(const char* phase, const Stalls& stalls) {
    std::printf("%-7s longest gap %.1f ms, gaps over 5 ms %d, longest poll %.1f ms, longest "
                "event %.1f ms\n",
                phase, stalls.longestGapMs, stalls.gapsOver5Ms, stalls.longestPollMs,
                stalls.longestEventMs);
}

int OpenMsgBoxes() {
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        open += (dynamic_cast<TFrmMsgBox*>(widget) && widget->isVisible()) ? 1 : 0;
    }
    return open;
}

// Frames with a wrong checksum, back to back at line speed, for the given time. The checksum box
// that opens runs its own event loop, so the looks are taken by timers, which tick inside it: a
// 20 ms timer whose longest gap between two ticks shows how long the window did not answer; every
// ten seconds a line with the boxes open, that gap since the last line and resident memory. At the
// end the box is closed.
void FloodWithBadFrames(QApplication& app, const std::string& socket, int seconds) {
    std::atomic<bool> flooding{true};
    std::atomic<long> sent{0};
    std::thread sender([&] {
        const std::string request = "SEND 0 " + vm::HexEncode("801E50485F0058");
        while (flooding) {
            std::string answer;
            if (vm::Ask(socket, request, answer) && answer == "OK") {
                ++sent;
            }
        }
    });
    std::printf("bad frames for %d s: second, frames sent, boxes open, longest gap between "
                "20 ms ticks (ms), VmRSS (KiB)\n",
                seconds);
    const auto start = Clock::now();
    double longestWaitMs = 0;
    auto lastTick = start;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        const auto now = Clock::now();
        longestWaitMs = std::max(longestWaitMs, Ms(now - lastTick));
        lastTick = now;
    });
    long firstRss = 0;
    long largestRss = 0;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, &app, [&] {
        const long rss = ResidentKiB("VmRSS:");
        firstRss = firstRss == 0 ? rss : firstRss;
        largestRss = std::max(largestRss, rss);
        std::printf("%4.0f %8ld %3d %8.1f %8ld\n", Ms(Clock::now() - start) / 1000.0, sent.load(),
                    OpenMsgBoxes(), longestWaitMs, rss);
        std::fflush(stdout);
        longestWaitMs = 0;
    });
    // Frames still on the line at the end open a box again: boxes are closed until they are all
    // taken.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &app, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = dynamic_cast<TFrmMsgBox*>(widget); box && box->isVisible()) {
                box->close();
            }
        }
    });
    bool over = false;
    QTimer::singleShot(seconds * 1000, &app, [&] {
        flooding = false;
        probe.stop();
        report.stop();
        closer.start(100);
    });
    QTimer::singleShot(seconds * 1000 + 1000, &app, [&] { over = true; });
    lastTick = Clock::now();
    probe.start(20);
    report.start(10000);
    WaitWhile(
        app, [&] { return !over; }, (seconds + 60) * 1000);
    closer.stop();
    sender.join();
    std::printf("VmRSS first / largest look  %ld / %ld KiB\n", firstRss, largestRss);
}

} // namespace

int main(int argc, char* argv[]) {
    const auto started = Clock::now();
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int floodSeconds =
        argc > 3 && std::string(argv[2]) == "--bad-frames" ? std::max(1, std::atoi(argv[3])) : 0;
    const std::string home = MakeBenchHome();
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    TimedApplication app(argc, argv);
    const std::string binDir = QCoreApplication::applicationDirPath().toStdString();
    StartUnits();
    // Every measurement writes its report, as in a practice.
    const std::string pdfFolder = home + "/pdf";
    mkdir(pdfFolder.c_str(), 0700);
    AppSettings->WriteString(PdfFolderKey, pdfFolder);
    auto form = std::make_unique<TFrmMain>();
    app.timed = form.get();
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

    // Idle while connected: every 150 ms the poll looks at the queue and finds nothing. The
    // wait is an event loop like the program's own; one that polls for events would measure
    // itself.
    const double cpuBefore = CpuSeconds();
    const auto idleStart = Clock::now();
    {
        QEventLoop idle;
        QTimer::singleShot(10000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    const double idleCpuPercent =
        100.0 * (CpuSeconds() - cpuBefore) / (Ms(Clock::now() - idleStart) / 1000.0);
    const Stalls idleStalls = MeasureStalls(app, 10000);

    // The poll that shows a frame runs just before this queued slot.
    std::atomic<int> polls{0};
    QObject::connect(
        form->TmUSB, &QTimer::timeout, &app, [&] { ++polls; }, Qt::QueuedConnection);

    std::string error;
    const std::string socket = vm::MonitorAddress(*vm::MonitorFolder(error), Serial);
    long statusFramesSent = 0;
    const Stalls arrivingStalls = StallsWhileFramesArrive(app, socket, 10000, statusFramesSent);
    // The last status frame is taken before the measurement frames start.
    {
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
    }
    // A frame cut short (the monitor's process held up mid-frame on a busy machine) opens the
    // checksum box, whose own loop would hold the run up for good: it is closed and counted.
    int boxesClosed = 0;
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, &app, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = dynamic_cast<TFrmMsgBox*>(widget); box && box->isVisible()) {
                box->close();
                ++boxesClosed;
            }
        }
    });
    boxCloser.start(100);
    std::vector<Sample> samples;
    // Waits before each frame that cover the poll's period evenly, in a shuffled order: drawn
    // at random, a hundred of them leave gaps in it that move the median by several ms from one
    // read's design to another's.
    std::vector<std::chrono::microseconds> phases;
    for (int i = 0; i < frames; ++i) {
        phases.emplace_back(150000LL * i / frames);
    }
    std::shuffle(phases.begin(), phases.end(), std::mt19937(42));
    for (int i = 0; i < frames; ++i) {
        const std::string systole = std::to_string(100 + i % 100);
        const std::string request = "SEND 0 " + vm::HexEncode(Frame(100 + i % 100, 70, 60, 90));
        std::atomic<bool> sent{false};
        Clock::time_point lastByte;
        int pollsAtLastByte = 0;
        // Sent from another thread so the window's loop keeps running.
        std::thread sender([&] {
            std::this_thread::sleep_for(phases[static_cast<size_t>(i)]);
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

    boxCloser.stop();

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
    PrintStalls("idle", idleStalls);
    PrintStalls("frames", arrivingStalls);
    std::printf("status frames sent  %ld\n", statusFramesSent);
    std::printf("frames              %d\n", frames);
    std::printf("latency median      %.1f ms\n", latencies[latencies.size() / 2]);
    std::printf("latency 90 %%        %.1f ms\n", latencies[latencies.size() * 9 / 10]);
    std::printf("latency worst       %.1f ms\n", latencies.back());
    std::printf("polls after frame   at most %d\n", worstPolls);
    std::printf("checksum boxes      %d\n", boxesClosed);
    std::printf("%s\n%s\n", StatusLine("VmRSS").c_str(), StatusLine("VmHWM").c_str());
    std::fflush(stdout);
    if (floodSeconds > 0) {
        FloodWithBadFrames(app, socket, floodSeconds);
    }

    // Closing with the monitor still connected: Esc to the window gone. A box closed by the run
    // leaves the window without the focus, and Esc goes to the active window.
    form->activateWindow();
    WaitWhile(
        app, [&] { return QApplication::activeWindow() != form.get(); }, 2000);
    const auto closeStart = Clock::now();
    QTest::keyClick(form.get(), Qt::Key_Escape);
    WaitWhile(
        app, [&] { return form->isVisible(); }, 10000);
    const double closeMs = Ms(Clock::now() - closeStart);
    std::printf("close after Esc     %.1f ms%s\n", closeMs,
                form->isVisible() ? " (still open)" : "");

    kill(monitor, SIGTERM);
    waitpid(monitor, nullptr, 0);
    StopUnits();
    form.reset();
    std::filesystem::remove_all(home);
    return 0;
}
