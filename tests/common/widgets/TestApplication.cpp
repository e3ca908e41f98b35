#include "common/widgets/TestApplication.h"

#include <QApplication>
#include <cstdlib>

QApplication& TestApplication() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || !*platform) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static int argc = 1;
    static char name[] = "quarn-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
