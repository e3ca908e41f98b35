#include "platform/shell/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

// CUPS' lp prints to the default printer. The path is made absolute, so it can never be taken
// for an option, and goes as one argument: no shell ever parses it.
void DesktopShellExecute(ShellVerb verb, const std::string& path) {
    const QString file = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    if (verb == ShellVerb::Open) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        return;
    }
    QProcess::startDetached("lp", {file});
}
