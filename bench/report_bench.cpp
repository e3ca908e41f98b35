// Measures the report step of the main window: from the five values shown to the PDF complete on
// disk, over N measurements with changing values; the first report includes reading the project
// file. Run from build/bin (the report project lies beside it), with QT_QPA_PLATFORM=offscreen
// or under xvfb-run.
//   report_bench [MEASUREMENTS]

#include "app/Main.h"
#include "app/SettingKeys.h"
#include "app/Units.h"
#include "support/VexAbstract.h"
#include "support/VexFiles.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

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

void ShowValues(TFrmMain& form, std::mt19937& random) {
    const auto value = [&](int low, int high) {
        return QString::number(low + static_cast<int>(random() % (high - low + 1)));
    };
    form.LblUSBSystole->setText(value(90, 220));
    form.LblUSBDiastole->setText(value(50, 130));
    form.LblUSBPuls->setText(value(40, 180));
    form.LblUSBMad->setText(value(60, 160));
    form.LblUSBArr->setText(random() % 5 == 0 ? "Ja" : "Nein");
    form.LblDateTime->setText("05.03.2008 14:07");
}

} // namespace

int main(int argc, char* argv[]) {
    const int measurements = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;
    const std::string home = TempHome();
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    QApplication app(argc, argv);
    StartUnits();
    const std::string pdfFolder = home + "/pdf";
    mkdir(pdfFolder.c_str(), 0700);
    AppSettings->WriteString(PdfFolderKey, pdfFolder);
    auto form = std::make_unique<TFrmMain>();
    // As discovery names it once a monitor is connected.
    form->RvProject.SetProjectFile(ProgramDir + "LirnQuarn.rav");

    std::mt19937 random(42);
    std::vector<double> times;
    const std::filesystem::path pdf = pdfFolder + "/lirn.pdf";
    for (int i = 0; i < measurements; ++i) {
        ShowValues(*form, random);
        const auto shown = Clock::now();
        form->ProduceReport();
        times.push_back(Ms(Clock::now() - shown));
        if (!std::filesystem::exists(pdf)) {
            std::fprintf(stderr, "report_bench: no report was written\n");
            return 1;
        }
    }
    const double first = times.front();
    std::vector<double> rest(times.begin() + 1, times.end());
    std::sort(rest.begin(), rest.end());
    std::printf("platform            %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("measurements        %d\n", measurements);
    std::printf("first report        %.1f ms (with reading the project)\n", first);
    std::printf("report median       %.1f ms\n", rest[rest.size() / 2]);
    std::printf("report worst        %.1f ms\n", rest.back());
    std::printf("PDF size            %.1f KB\n",
                static_cast<double>(std::filesystem::file_size(pdf)) / 1024.0);

    form->close();
    StopUnits();
    form.reset();
    std::filesystem::remove_all(home);
    return 0;
}
