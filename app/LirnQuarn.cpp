#include "app/Main.h"
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
    MainStartup();
    RegisterWindowsFontReplacements();

    auto form = std::make_unique<TFrmMain>();
    form->show();
    const int result = application.exec();

    // The units go before the window objects: nothing may use AppSettings once they are gone.
    VexFrmMsgBoxShutdown();
    VexMiscShutdown();
    VexFilesShutdown();
    VexDateTimeShutdown();
    form.reset();
    return result;
}
