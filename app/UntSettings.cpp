#include "app/UntSettings.h"

#include "app/AdvancedSettings.h"
#include "app/DialogControls.h"
#include "app/Gdt.h"
#include "app/Magnifier.h"
#include "app/PathText.h"
#include "app/ReportFile.h"
#include "app/SettingKeys.h"
#include "platform/files/Files.h"
#include "platform/text/Text.h"
#include "support/VexAbstract.h"
#include "support/VexMsgFlags.h"
#include "support/VexStrings.h"
#include "support/widgets/ErrorGuard.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

const char* const BrowseHint = "Ordner suchen";
const char* const FolderBrowserTitle = "Bitte wählen Sie einen Ordner aus.";
const char* const ValidFolderRequest = "\r\nBitte gültiges Verzeichnis angeben.";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QFont DialogFont() {
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

// Flat and out of the tab order, so the keyboard goes from edit to edit.
QToolButton* MakeBrowseButton(QWidget* parent, const char* name, const QRect& geometry) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QIcon(MakeMagnifierPixmap()));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(BrowseHint);
    return button;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

// The shell's folder ids that name a folder on this platform.
std::optional<std::string> SpecialFolderPath(int folderId) {
    if (folderId == CSIDL_DRIVES) {
        return QDir::toNativeSeparators(QDir::rootPath()).toStdString();
    }
    return std::nullopt;
}

std::optional<std::string> ChosenPath(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

std::string ShowFolderBrowser(QWidget* owner, const std::string& root, const std::string& title) {
    return ChosenPath(*NewFolderBrowser(owner, root, title)).value_or(std::string());
}

std::optional<std::string> ShowFileOpenDialog(QWidget* owner, const std::string& fileName,
                                              const std::string& filter) {
    return ChosenPath(*NewFileOpenDialog(owner, fileName, filter));
}

std::string MissingFolderMessage(const std::string& whose, const std::string& folder) {
    return "Der angegebene Ordner " + whose + "<" + folder + "> exitstiert nicht." +
           ValidFolderRequest;
}

} // namespace

TFolderBrowserHook FolderBrowserHook = ShowFolderBrowser;
TFileOpenHook FileOpenHook = ShowFileOpenDialog;

std::unique_ptr<QFileDialog> NewFolderBrowser(QWidget* owner, const std::string& root,
                                              const std::string& title) {
    auto dialog = std::make_unique<QFileDialog>(owner, Q(title), Q(root));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    return dialog;
}

std::unique_ptr<QFileDialog> NewFileOpenDialog(QWidget* owner, const std::string& fileName,
                                               const std::string& filter) {
    auto dialog = std::make_unique<QFileDialog>(owner);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // The named file need not exist yet: the request comes with the next order, the result
    // with the next export.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(Q(filter));
    if (!fileName.empty()) {
        dialog->selectFile(Q(fileName));
    }
    return dialog;
}

std::string BrowseForFolder(int rootId, const std::string& title) {
    const std::optional<std::string> root = SpecialFolderPath(rootId);
    if (!root) {
        return {};
    }
    return FolderBrowserHook(QApplication::activeWindow(), *root, title);
}

std::string WithDefaultExtension(const std::string& fileName, const std::string& defaultExt) {
    const QString name = QFileInfo(Q(fileName)).fileName();
    if (defaultExt.empty() || name.isEmpty() || name.contains('.')) {
        return fileName;
    }
    return fileName + "." + defaultExt;
}

bool TOpenDialog::Execute(QWidget* owner) {
    const std::optional<std::string> chosen = FileOpenHook(owner, FileName, Filter);
    if (!chosen) {
        return false;
    }
    FileName = WithDefaultExtension(*chosen, DefaultExt);
    return true;
}

TFrmSettings::TFrmSettings(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("FrmSettings");
    setWindowTitle("Einstellungen");
    setFont(DialogFont());
    setFixedSize(SettingsClientWidth, SettingsClientHeight);
    DlgOpen.Filter = "gdt-Dateien (*.gdt)";
    DlgOpen.DefaultExt = "gdt";
    CreateButtons();
    CreatePdfGroup();
    CreateGdtGroup();

    setTabOrder(EdtDirectory, ChbShow);
    setTabOrder(ChbShow, ChbPrint);
    setTabOrder(ChbPrint, EdtImportFile);
    setTabOrder(EdtImportFile, EdtExportFile);
    setTabOrder(EdtExportFile, BtnOK);
    setTabOrder(BtnOK, BtnCancel);
    setTabOrder(BtnCancel, BtnAdvanced);
    EdtDirectory->setFocus();
}

TFrmSettings::~TFrmSettings() = default;

void TFrmSettings::CreateButtons() {
    BtnCancel = MakeButton(this, "BtnCancel", "Abbruch", QRect(435, 236, 85, 25));
    connect(BtnCancel, &QPushButton::clicked, this, &TFrmSettings::reject);
    BtnOK = MakeButton(this, "BtnOK", "OK", QRect(340, 236, 85, 25));
    BtnOK->setDefault(true);
    connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { BtnOKClick(); }));
    BtnAdvanced = MakeButton(this, "BtnAdvanced", "Er&weitert …", QRect(8, 236, 85, 25));
    connect(BtnAdvanced, &QPushButton::clicked, this, Guarded([this] { BtnAdvancedClick(); }));
}

void TFrmSettings::CreatePdfGroup() {
    GrpPDF = new QGroupBox("PDF", this);
    GrpPDF->setObjectName("GrpPDF");
    GrpPDF->setGeometry(8, 20, 512, 109);
    ChbShow = MakeCheckBox(GrpPDF, "ChbShow", "&Anzeigen", QRect(8, 64, 97, 17));
    ChbPrint = MakeCheckBox(GrpPDF, "ChbPrint", "&Drucken", QRect(8, 84, 97, 17));
    EdtDirectory = MakeEdit(GrpPDF, "EdtDirectory", QRect(8, 38, 400, 21));
    LblDir =
        MakeAccessLabel(GrpPDF, "LblDir", "&Zielordner, in dem die PDF-Datei abgelegt werden soll",
                        {8, 18}, EdtDirectory);
    BtnDirectory = MakeBrowseButton(GrpPDF, "BtnDirectory", QRect(415, 37, 23, 22));
    connect(BtnDirectory, &QToolButton::clicked, this, Guarded([this] { BtnDirectoryClick(); }));
}

void TFrmSettings::CreateGdtGroup() {
    GrpGDT = new QGroupBox("GDT", this);
    GrpGDT->setObjectName("GrpGDT");
    GrpGDT->setGeometry(8, 138, 512, 88);
    EdtImportFile = MakeEdit(GrpGDT, "EdtImportFile", QRect(75, 20, 400, 21));
    EdtExportFile = MakeEdit(GrpGDT, "EdtExportFile", QRect(75, 50, 400, 21));
    Label1 = MakeAccessLabel(GrpGDT, "Label1", "&Import-Datei", {8, 24}, EdtImportFile);
    Label2 = MakeAccessLabel(GrpGDT, "Label2", "&Export-Datei", {8, 54}, EdtExportFile);
    BtnExpFile = MakeBrowseButton(GrpGDT, "BtnExpFile", QRect(478, 49, 23, 22));
    connect(BtnExpFile, &QToolButton::clicked, this, Guarded([this] { BtnExpFileClick(); }));
    BtnImpFile = MakeBrowseButton(GrpGDT, "BtnImpFile", QRect(478, 19, 23, 22));
    connect(BtnImpFile, &QToolButton::clicked, this, Guarded([this] { BtnImpFileClick(); }));
}

int TFrmSettings::Execute(QWidget* owner) {
    const auto form = std::make_unique<TFrmSettings>(owner);
    form->LoadSettings();
    if (form->exec() != mrOk) {
        return mrCancel;
    }
    form->StoreSettings();
    form->DeleteReportFile();
    return mrOk;
}

void TFrmSettings::reject() {
    done(mrCancel);
}

void TFrmSettings::LoadSettings() {
    EdtDirectory->setText(PathText(AppSettings->ReadString(PdfFolderKey)));
    ChbShow->setChecked(AppSettings->ReadString(PdfShowKey) == FlagOn);
    ChbPrint->setChecked(AppSettings->ReadString(PdfPrintKey) == FlagOn);
    EdtImportFile->setText(PathText(AppSettings->ReadString(ImportPathKey)));
    EdtExportFile->setText(PathText(AppSettings->ReadString(ExportPathKey)));
}

void TFrmSettings::BtnOKClick() {
    if (ValidateInput()) {
        done(mrOk);
    }
}

bool TFrmSettings::ValidateInput() {
    const std::string folder = PathIn(EdtDirectory);
    if (!DirectoryExists(folder)) {
        RefusePath(EdtDirectory, MissingFolderMessage("", folder));
        return false;
    }
    const std::string importFolder = GdtFolderPart(PathIn(EdtImportFile));
    if (!DirectoryExists(importFolder)) {
        RefusePath(EdtImportFile, MissingFolderMessage("der Import-Datei ", importFolder));
        return false;
    }
    const std::string exportFolder = GdtFolderPart(PathIn(EdtExportFile));
    if (!DirectoryExists(exportFolder)) {
        RefusePath(EdtExportFile, MissingFolderMessage("der Export-Datei ", exportFolder));
        return false;
    }
    return true;
}

void TFrmSettings::RefusePath(QLineEdit* edit, const std::string& message) {
    edit->setFocus();
    MessageBoxHook(message, MB_ICONEXCLAMATION, nullptr);
}

void TFrmSettings::BtnDirectoryClick() {
    const std::string path = BrowseForFolder(CSIDL_DRIVES, FolderBrowserTitle);
    if (!TrimCharSet(path, BlankAndControlChars(), true, true).empty()) {
        EdtDirectory->setText(PathText(path));
    }
}

void TFrmSettings::BtnImpFileClick() {
    BrowseFileFor(EdtImportFile);
}

void TFrmSettings::BtnExpFileClick() {
    BrowseFileFor(EdtExportFile);
}

void TFrmSettings::BtnAdvancedClick() {
    TFrmAdvancedSettings::Execute(this);
}

void TFrmSettings::BrowseFileFor(QLineEdit* edit) {
    DlgOpen.FileName = PathIn(edit);
    if (DlgOpen.Execute(this)) {
        edit->setText(PathText(DlgOpen.FileName));
    }
}

// The texts are stored as they stand in the edits: a path may begin or end with a blank.
void TFrmSettings::StoreSettings() {
    AppSettings->WriteString(PdfFolderKey, PathIn(EdtDirectory));
    AppSettings->WriteString(PdfShowKey, IfThenStr(ChbShow->isChecked(), FlagOn, FlagOff));
    AppSettings->WriteString(PdfPrintKey, IfThenStr(ChbPrint->isChecked(), FlagOn, FlagOff));
    AppSettings->WriteString(ImportPathKey, PathIn(EdtImportFile));
    AppSettings->WriteString(ExportPathKey, PathIn(EdtExportFile));
}

// Only the folder just stored is cleaned: a report in a folder configured before is left alone.
void TFrmSettings::DeleteReportFile() {
    const std::string path = ReportFilePath(AppSettings->ReadString(PdfFolderKey));
    if (FileExists(path) && !DeleteFile(path)) {
        MessageBoxHook(ReportNotDeletedMessage(path), MB_ICONASTERISK, nullptr);
    }
}
