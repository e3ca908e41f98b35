#include "app/AdvancedSettings.h"

#include "app/DialogControls.h"
#include "app/Gdt.h"
#include "app/Magnifier.h"
#include "app/PathText.h"
#include "app/ReportArchive.h"
#include "app/SettingKeys.h"
#include "app/UntSettings.h"
#include "platform/files/Files.h"
#include "support/VexAbstract.h"
#include "support/VexMsgFlags.h"
#include "support/VexStrings.h"
#include "support/widgets/ErrorGuard.h"
#include "support/widgets/VexMisc.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace {

constexpr int GroupWidth = 430;
constexpr int EditWidth = 380;
const char* const ArchiveBrowserTitle = "Bitte wählen Sie den Archivordner aus.";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& text, QPoint topLeft) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->move(topLeft);
    box->adjustSize();
    return box;
}

QPushButton* MakeButton(const char* name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setFixedSize(85, 25);
    return button;
}

std::string InvalidIdentsMessage(const std::string& text) {
    return "Die Testkennungen <" + text +
           "> sind ungültig.\r\nBitte fünf Kennungen ohne "
           "Leerzeichen, je höchstens 20 Zeichen, durch \";\" getrennt angeben oder das Feld leer "
           "lassen.";
}

std::string MissingArchiveMessage(const std::string& folder) {
    return "Der angegebene Archivordner <" + folder +
           "> existiert nicht.\r\nBitte gültiges Verzeichnis angeben.";
}

std::string UnreadableArchiveMessage(const std::string& folder) {
    return "Der Pfad des Archivordners <" + folder +
           "> enthält Zeichen, die die Praxissoftware nicht lesen kann.\r\nBitte einen anderen "
           "Ordner angeben.";
}

} // namespace

TFrmAdvancedSettings::TFrmAdvancedSettings(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("FrmAdvancedSettings");
    setWindowTitle("Erweiterte Einstellungen");
    if (owner) {
        setFont(owner->font());
    }
    groups_ = new QVBoxLayout(this);
    groups_->setContentsMargins(8, 8, 8, 8);
    groups_->setSpacing(8);
    // The topics in the order they are shown; a new one goes below the last.
    CreateResultGroup();
    CreateAttachmentGroup();
    CreateButtons();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(ChbTestValues, EdtTestIdents);
    setTabOrder(EdtTestIdents, ChbAttachment);
    setTabOrder(ChbAttachment, EdtArchive);
    setTabOrder(EdtArchive, BtnOK);
    setTabOrder(BtnOK, BtnCancel);
    ChbTestValues->setFocus();
}

TFrmAdvancedSettings::~TFrmAdvancedSettings() = default;

QGroupBox* TFrmAdvancedSettings::AddGroup(const char* name, const QString& title, int height) {
    auto* group = new QGroupBox(title, this);
    group->setObjectName(name);
    group->setFixedSize(GroupWidth, height);
    groups_->addWidget(group);
    return group;
}

void TFrmAdvancedSettings::CreateResultGroup() {
    GrpResult = AddGroup("GrpResult", "GDT-Ergebnis", 92);
    ChbTestValues = MakeCheckBox(GrpResult, "ChbTestValues",
                                 "&Messwerte als Testwerte mit Uhrzeit übermitteln", {8, 20});
    EdtTestIdents = MakeEdit(GrpResult, "EdtTestIdents", QRect(8, 62, EditWidth, 21));
    LblTestIdents =
        MakeAccessLabel(GrpResult, "LblTestIdents",
                        "&Testkennungen Systole;Diastole;Puls;MAD;Arrhythmie (leer: LOINC-Codes)",
                        {8, 44}, EdtTestIdents);
}

void TFrmAdvancedSettings::CreateAttachmentGroup() {
    GrpAttachment = AddGroup("GrpAttachment", "Bericht als Anhang", 92);
    ChbAttachment = MakeCheckBox(GrpAttachment, "ChbAttachment",
                                 "Bericht im Archiv &ablegen und im Ergebnis angeben", {8, 20});
    EdtArchive = MakeEdit(GrpAttachment, "EdtArchive", QRect(8, 62, EditWidth, 21));
    LblArchive = MakeAccessLabel(GrpAttachment, "LblArchive",
                                 "Arc&hivordner, aus dem die Praxissoftware den Bericht übernimmt",
                                 {8, 44}, EdtArchive);
    BtnArchive = new QToolButton(GrpAttachment);
    BtnArchive->setObjectName("BtnArchive");
    BtnArchive->setGeometry(EditWidth + 15, 61, 23, 22);
    BtnArchive->setAutoRaise(true);
    BtnArchive->setFocusPolicy(Qt::NoFocus);
    BtnArchive->setIcon(QIcon(MakeMagnifierPixmap()));
    BtnArchive->setIconSize(QSize(16, 16));
    BtnArchive->setToolTip("Ordner suchen");
    connect(BtnArchive, &QToolButton::clicked, this, Guarded([this] { BtnArchiveClick(); }));
}

void TFrmAdvancedSettings::CreateButtons() {
    auto* row = new QHBoxLayout;
    row->addStretch();
    BtnOK = MakeButton("BtnOK", "OK");
    BtnOK->setDefault(true);
    connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { BtnOKClick(); }));
    BtnCancel = MakeButton("BtnCancel", "Abbruch");
    connect(BtnCancel, &QPushButton::clicked, this, &TFrmAdvancedSettings::reject);
    row->addWidget(BtnOK);
    row->addWidget(BtnCancel);
    groups_->addLayout(row);
}

int TFrmAdvancedSettings::Execute(QWidget* owner) {
    const auto form = std::make_unique<TFrmAdvancedSettings>(owner);
    form->LoadSettings();
    if (form->exec() != mrOk) {
        return mrCancel;
    }
    form->StoreSettings();
    return mrOk;
}

void TFrmAdvancedSettings::reject() {
    done(mrCancel);
}

void TFrmAdvancedSettings::LoadSettings() {
    ChbTestValues->setChecked(AppSettings->ReadString(GdtTestValuesKey) == FlagOn);
    EdtTestIdents->setText(Q(AppSettings->ReadString(GdtTestIdentsKey)));
    ChbAttachment->setChecked(AppSettings->ReadString(GdtAttachmentKey) == FlagOn);
    EdtArchive->setText(PathText(AppSettings->ReadString(ArchiveFolderKey)));
}

void TFrmAdvancedSettings::BtnOKClick() {
    if (ValidateInput()) {
        done(mrOk);
    }
}

// The idents are checked also while test values are off, so that switching them on later
// never meets a setting the export refuses. The folder counts only with the attachment on.
bool TFrmAdvancedSettings::ValidateInput() {
    if (!ParseTestIdents(Text(EdtTestIdents))) {
        Refuse(EdtTestIdents, InvalidIdentsMessage(Text(EdtTestIdents)));
        return false;
    }
    if (!ChbAttachment->isChecked()) {
        return true;
    }
    const std::string archive = PathIn(EdtArchive);
    if (!DirectoryExists(archive)) {
        Refuse(EdtArchive, MissingArchiveMessage(archive));
        return false;
    }
    if (!FitsRecordCodePage(archive)) {
        Refuse(EdtArchive, UnreadableArchiveMessage(archive));
        return false;
    }
    return true;
}

void TFrmAdvancedSettings::Refuse(QLineEdit* edit, const std::string& message) {
    edit->setFocus();
    MessageBoxHook(message, MB_ICONEXCLAMATION, nullptr);
}

void TFrmAdvancedSettings::StoreSettings() {
    AppSettings->WriteString(GdtTestValuesKey,
                             IfThenStr(ChbTestValues->isChecked(), FlagOn, FlagOff));
    AppSettings->WriteString(GdtTestIdentsKey, Text(EdtTestIdents));
    AppSettings->WriteString(GdtAttachmentKey,
                             IfThenStr(ChbAttachment->isChecked(), FlagOn, FlagOff));
    AppSettings->WriteString(ArchiveFolderKey, PathIn(EdtArchive));
}

void TFrmAdvancedSettings::BtnArchiveClick() {
    const std::string path = BrowseForFolder(CSIDL_DRIVES, ArchiveBrowserTitle);
    if (!TrimCharSet(path, BlankAndControlChars(), true, true).empty()) {
        EdtArchive->setText(PathText(path));
    }
}
