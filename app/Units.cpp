#include "app/Units.h"

#include "app/Main.h"
#include "support/VexDateTime.h"
#include "support/VexFiles.h"
#include "support/VexFonts.h"
#include "support/VexFrmMsgBox.h"
#include "support/VexMisc.h"

void StartUnits() {
    VexDateTimeStartup();
    VexFilesStartup();
    VexMiscStartup();
    VexFrmMsgBoxStartup();
    MainStartup();
    RegisterWindowsFontReplacements();
}

void StopUnits() {
    VexFrmMsgBoxShutdown();
    VexMiscShutdown();
    VexFilesShutdown();
    VexDateTimeShutdown();
}
