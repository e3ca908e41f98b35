#include "support/VexMisc.h"

#include "support/VexAbstract.h"
#include "support/VexDateTime.h"
#include "support/VexLinkList.h"
#include "support/VexMsgFlags.h"

#include <QApplication>
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

struct ButtonSpec {
    QMessageBox::StandardButton button;
    const char* caption;
    int32_t id;
};

const ButtonSpec kOk{QMessageBox::Ok, "OK", IDOK};
const ButtonSpec kCancel{QMessageBox::Cancel, "Abbrechen", IDCANCEL};
const ButtonSpec kAbort{QMessageBox::Abort, "Abbrechen", IDABORT};
const ButtonSpec kRetry{QMessageBox::Retry, "&Wiederholen", IDRETRY};
const ButtonSpec kIgnore{QMessageBox::Ignore, "&Ignorieren", IDIGNORE};
const ButtonSpec kYes{QMessageBox::Yes, "&Ja", IDYES};
const ButtonSpec kNo{QMessageBox::No, "&Nein", IDNO};

// The buttons of the style's low four bits, left to right; an unknown style shows OK alone.
std::vector<ButtonSpec> buttonsFor(int32_t flags) {
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        return {kOk, kCancel};
    case MB_ABORTRETRYIGNORE:
        return {kAbort, kRetry, kIgnore};
    case MB_YESNOCANCEL:
        return {kYes, kNo, kCancel};
    case MB_YESNO:
        return {kYes, kNo};
    case MB_RETRYCANCEL:
        return {kRetry, kCancel};
    default:
        return {kOk};
    }
}

QMessageBox::Icon iconFor(int32_t flags) {
    switch (flags & 0xF0) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

std::size_t defaultButtonIndex(int32_t flags) {
    switch (flags & 0xF00) {
    case MB_DEFBUTTON2:
        return 1;
    case MB_DEFBUTTON3:
        return 2;
    default:
        return 0;
    }
}

void restoreDefaultCursor() {
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
    }
}

} // namespace

int32_t PlainMessageBox(const std::string& text, int32_t flags, QWidget* /*owner*/) {
    restoreDefaultCursor();
    QMessageBox box(iconFor(flags), QString::fromStdString(ApplicationTitle),
                    QString::fromStdString(text));
    box.setWindowModality(Qt::ApplicationModal);
    const std::vector<ButtonSpec> specs = buttonsFor(flags);
    for (const ButtonSpec& spec : specs) {
        box.addButton(spec.button)->setText(QString::fromUtf8(spec.caption));
    }
    const std::size_t defaultIndex = std::min(defaultButtonIndex(flags), specs.size() - 1);
    box.setDefaultButton(specs[defaultIndex].button);
    const int clicked = box.exec();
    for (const ButtonSpec& spec : specs) {
        if (clicked == spec.button) {
            return spec.id;
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
    RefreshDateOrderMask();
}

void VexMiscShutdown() {
    GlobalStack.reset();
    AppSettings.reset();
    MessageBoxHook = PlainMessageBox;
    MessageBoxExHook = nullptr;
}
