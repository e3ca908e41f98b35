#include "app/PathText.h"

#include "platform/text/Text.h"

#include <QLineEdit>

QString PathText(const std::string& path) {
    return QString::fromStdU16String(FileNameToUtf16(path));
}

std::string PathIn(const QLineEdit* edit) {
    return FileNameFromUtf16(edit->text().toStdU16String());
}
