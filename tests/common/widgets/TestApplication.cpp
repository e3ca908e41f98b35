#include "common/widgets/TestApplication.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>

namespace {

// The offscreen platform of Windows knows no system fonts: text drawn in a font nobody
// registered is dropped. The Windows build copies a few beside the tests.
void RegisterTestFonts() {
    const QDir folder(QString::fromUtf8(QUARN_BIN_DIR) + "/test-fonts");
    for (const QString& file : folder.entryList({"*.ttf"}, QDir::Files)) {
        QFontDatabase::addApplicationFont(folder.filePath(file));
    }
}

} // namespace

QApplication& TestApplication() {
    // Set inside the process: Wine does not pass QT_* variables on to Windows programs.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "quarn-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* created = new QApplication(argc, argv);
        RegisterTestFonts();
        return created;
    }();
    return *app;
}
