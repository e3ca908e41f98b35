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

struct ButtonDef {
    QMessageBox::StandardButton button;
    const char* caption;
    int32_t id;
};

const ButtonDef kOk{QMessageBox::Ok, "OK", IDOK};
const ButtonDef kCancel{QMessageBox::Cancel, "Abbrechen", IDCANCEL};
const ButtonDef kAbort{QMessageBox::Abort, "Abbrechen", IDABORT};
const ButtonDef kRetry{QMessageBox::Retry, "&Wiederholen", IDRETRY};
const ButtonDef kIgnore{QMessageBox::Ignore, "&Ignorieren", IDIGNORE};
const ButtonDef kYes{QMessageBox::Yes, "&Ja", IDYES};
const ButtonDef kNo{QMessageBox::No, "&Nein", IDNO};

// The buttons of the style's low four bits, left to right; an unknown style shows OK alone.
std::vector<ButtonDef> buttonsFor(int32_t flags) {
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
    // Messages carry paths and names from outside: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    const std::vector<ButtonDef> defs = buttonsFor(flags);
    for (const ButtonDef& def : defs) {
        box.addButton(def.button)->setText(QString::fromUtf8(def.caption));
    }
    const std::size_t defaultIndex = std::min(defaultButtonIndex(flags), defs.size() - 1);
    box.setDefaultButton(defs[defaultIndex].button);
    const int clicked = box.exec();
    for (const ButtonDef& def : defs) {
        if (clicked == def.button) {
            return def.id;
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
