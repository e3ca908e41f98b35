#include "support/widgets/VexMisc.h"

#include "support/VexAbstract.h"
#include "support/VexDateTime.h"
#include "support/VexLinkList.h"
#include "support/VexMsgFlags.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <algorithm>
#include <clocale>
#include <utility>
#include <vector>

TMessageBoxHook MessageBoxHook = PlainMessageBox;
TMessageBoxExHook MessageBoxExHook = nullptr;
std::string ApplicationTitle;
std::unique_ptr<TSettings> AppSettings;
std::unique_ptr<TStack> GlobalStack;

namespace {

// The platform box's own button and our German caption for each button of a style.
QMessageBox::StandardButton PlatformButton(MsgBoxButton button) {
    switch (button) {
    case MsgBoxButton::OK:
        return QMessageBox::Ok;
    case MsgBoxButton::Cancel:
        return QMessageBox::Cancel;
    case MsgBoxButton::Abort:
        return QMessageBox::Abort;
    case MsgBoxButton::Retry:
        return QMessageBox::Retry;
    case MsgBoxButton::Ignore:
        return QMessageBox::Ignore;
    case MsgBoxButton::Yes:
        return QMessageBox::Yes;
    case MsgBoxButton::No:
        return QMessageBox::No;
    }
    return QMessageBox::Cancel;
}

const char* PlatformCaption(MsgBoxButton button) {
    switch (button) {
    case MsgBoxButton::OK:
        return "OK";
    case MsgBoxButton::Retry:
        return "&Wiederholen";
    case MsgBoxButton::Ignore:
        return "&Ignorieren";
    case MsgBoxButton::Yes:
        return "&Ja";
    case MsgBoxButton::No:
        return "&Nein";
    case MsgBoxButton::Cancel:
    case MsgBoxButton::Abort:
        break;
    }
    return "Abbrechen";
}

QMessageBox::Icon PlatformIcon(MsgBoxIcon icon) {
    switch (icon) {
    case MsgBoxIcon::Stop:
        return QMessageBox::Critical;
    case MsgBoxIcon::Question:
        return QMessageBox::Question;
    case MsgBoxIcon::Warning:
        return QMessageBox::Warning;
    case MsgBoxIcon::Information:
        return QMessageBox::Information;
    case MsgBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void restoreDefaultCursor() {
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
    }
}

} // namespace

TFormatSettings FormatSettingsOf(const QLocale& locale) {
    TFormatSettings formats;
    formats.LocaleName = locale.name().toStdString();
    formats.ShortDateFormat =
        FourDigitYearFormat(locale.dateFormat(QLocale::ShortFormat).toStdString());
    formats.ShortTimeFormat =
        TimeFormatWithoutSeconds(locale.timeFormat(QLocale::ShortFormat).toStdString());
    return formats;
}

int32_t PlainMessageBox(const std::string& text, int32_t flags, QWidget* /*owner*/) {
    restoreDefaultCursor();
    const MsgBoxStyle style = DecodeMsgBoxStyle(flags);
    QMessageBox box(PlatformIcon(style.icon), QString::fromStdString(ApplicationTitle),
                    QString::fromStdString(text));
    // Messages carry paths and names from outside: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    for (const MsgBoxButton button : style.buttons) {
        box.addButton(PlatformButton(button))->setText(QString::fromUtf8(PlatformCaption(button)));
    }
    const auto defaultIndex =
        std::min(static_cast<std::size_t>(style.defaultButton), style.buttons.size() - 1);
    box.setDefaultButton(PlatformButton(style.buttons[defaultIndex]));
    const int clicked = box.exec();
    for (const MsgBoxButton button : style.buttons) {
        if (clicked == PlatformButton(button)) {
            return MsgBoxButtonId(button);
        }
    }
    // Closed without a button: as the system box does, the way out counts as Cancel.
    return IDCANCEL;
}

void VexMiscStartup() {
    MessageBoxHook = PlainMessageBox;
    MessageBoxExHook = nullptr;
    GlobalStack = std::make_unique<TStack>();
    // The user's locale for every category; an unknown one leaves the C locale in place.
    std::setlocale(LC_ALL, "");
    // Qt's locale data, so that a machine without generated C library locales formats alike.
    SetFormatSettings(FormatSettingsOf(QLocale::system()));
}

void VexMiscShutdown() {
    GlobalStack.reset();
    AppSettings.reset();
    MessageBoxHook = PlainMessageBox;
    MessageBoxExHook = nullptr;
}
