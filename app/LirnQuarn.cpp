#include "app/Main.h"
#include "app/Units.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    StartUnits();

    auto form = std::make_unique<TFrmMain>();
    form->show();
    const int result = application.exec();

    // The window is the main unit's: it goes before the units it was built on shut down.
    form.reset();
    StopUnits();
    return result;
}
