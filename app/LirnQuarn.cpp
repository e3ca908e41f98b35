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

    StopUnits();
    form.reset();
    return result;
}
