#include "app/Main.h"
#include "device/D2XXUnit.h"
#include "support/VexDateTime.h"
#include "support/VexFiles.h"
#include "support/VexFonts.h"
#include "support/VexFrmMsgBox.h"
#include "support/VexMisc.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    VexDateTimeStartup();
    VexFilesStartup();
    VexMiscStartup();
    VexFrmMsgBoxStartup();
    D2XXUnitStartup();
    MainStartup();
    RegisterWindowsFontReplacements();

    auto form = std::make_unique<TFrmMain>();
    form->show();
    const int result = application.exec();

    // The units go before the window objects: nothing may use AppSettings once they are gone.
    MainShutdown();
    D2XXUnitShutdown();
    VexFrmMsgBoxShutdown();
    VexMiscShutdown();
    VexFilesShutdown();
    VexDateTimeShutdown();
    form.reset();
    return result;
}
