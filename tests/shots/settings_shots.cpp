// Manual screenshot helper: opens the settings dialog and the advanced one over the main window
// with sample settings in a temporary hive, saves them as settings-dialog.png and
// advanced-settings.png into the folder given as the first argument (default "screenshots") and
// prints their tab orders. Run it under a real X server, e.g.
// xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/settings-shots screenshots

#include "app/AdvancedSettings.h"
#include "app/Main.h"
#include "app/SettingKeys.h"
#include "app/Units.h"
#include "app/UntSettings.h"
#include "support/VexAbstract.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QStringList>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

void StoreSamples() {
    AppSettings->WriteString(PdfFolderKey, "/home/praxis/berichte");
    AppSettings->WriteString(PdfShowKey, FlagOn);
    AppSettings->WriteString(PdfPrintKey, FlagOff);
    AppSettings->WriteString(ImportPathKey, "/home/praxis/gdt/import.gdt");
    AppSettings->WriteString(ExportPathKey, "/home/praxis/gdt/export.gdt");
    AppSettings->WriteString(GdtTestValuesKey, FlagOn);
    AppSettings->WriteString(GdtAttachmentKey, FlagOn);
    AppSettings->WriteString(ArchiveFolderKey, "/home/praxis/archiv");
}

QStringList TabOrder(QWidget& form) {
    QStringList order;
    QWidget* first = form.focusWidget();
    QWidget* widget = first;
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != first);
    return order;
}

// Saves the dialog titled title once it is on screen and painted, then cancels it.
void ShootWhenShown(const QString& path, const QString& title) {
    auto* poll = new QTimer;
    auto polls = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, polls, path, title] {
        auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!form || form->windowTitle() != title || !form->isVisible() || ++*polls < 4) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (!form->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        }
        std::printf("%s: %dx%d \"%s\"\ntab order: %s\nshortcuts underlined: %d\n", qPrintable(path),
                    form->width(), form->height(), qPrintable(form->windowTitle()),
                    qPrintable(TabOrder(*form).join(", ")),
                    form->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, form));
        form->reject();
    });
    poll->start(50);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", qPrintable(config.path()), 1);
    QApplication app(argc, argv);
    StartUnits();
    StoreSamples();
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(dir);

    TFrmMain main;
    main.show();
    ShootWhenShown(dir + "/settings-dialog.png", "Einstellungen");
    main.BtnSettingsClick();
    ShootWhenShown(dir + "/advanced-settings.png", "Erweiterte Einstellungen");
    TFrmAdvancedSettings::Execute(&main);

    StopUnits();
    return 0;
}
