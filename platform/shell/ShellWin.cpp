#include "platform/shell/Shell.h"

#include <QDir>
#include <QFileInfo>
#include <windows.h>
// After <windows.h>, which it builds on.
#include <shellapi.h>

// The shell's verbs "open" and "print" on the file, with an absolute path in the system's form;
// the program associated with the file's type does the rest.
void DesktopShellExecute(ShellVerb verb, const std::string& path) {
    const QString file =
        QDir::toNativeSeparators(QFileInfo(QString::fromStdString(path)).absoluteFilePath());
    const wchar_t* operation = verb == ShellVerb::Open ? L"open" : L"print";
    ShellExecuteW(nullptr, operation, reinterpret_cast<const wchar_t*>(file.utf16()), nullptr,
                  nullptr, SW_SHOWNORMAL);
}
