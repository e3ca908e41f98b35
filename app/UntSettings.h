#pragma once
// TFrmSettings: the modal dialog in which the user sets the PDF folder, viewing and printing of
// the report and the paths of the GDT request and result files.

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

constexpr int SettingsClientWidth = 530;
constexpr int SettingsClientHeight = 272;

// The dialog's modal results.
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

// The folder id of the computer's top level, where the folder browser starts.
constexpr int CSIDL_DRIVES = 17;

// Shows the folder browser starting at root, offering folders only; the chosen folder, or the
// empty text when the user cancels.
using TFolderBrowserHook =
    std::function<std::string(QWidget* owner, const std::string& root, const std::string& title)>;
// Shows the file-open dialog with fileName preselected and the name filter; the chosen file's
// full path as the user gave it, or nothing when the user cancels.
using TFileOpenHook = std::function<std::optional<std::string>(
    QWidget* owner, const std::string& fileName, const std::string& filter)>;

// The platform's dialogs; tests replace them so that none is ever opened.
extern TFolderBrowserHook FolderBrowserHook;
extern TFileOpenHook FileOpenHook;

// The platform's dialogs as the default hooks show them, configured but not yet shown.
std::unique_ptr<QFileDialog> NewFolderBrowser(QWidget* owner, const std::string& root,
                                              const std::string& title);
std::unique_ptr<QFileDialog> NewFileOpenDialog(QWidget* owner, const std::string& fileName,
                                               const std::string& filter);

// The chosen folder below the special folder rootId, or the empty text when the user cancels or
// the id names no folder this platform has (nothing is shown then).
std::string BrowseForFolder(int rootId, const std::string& title);

// fileName with "." and defaultExt appended when its last component has no extension.
std::string WithDefaultExtension(const std::string& fileName, const std::string& defaultExt);

// The file-open dialog of the settings dialog: the file name going in and coming out, the name
// filter and the extension given to a name typed without one.
class TOpenDialog {
public:
    std::string FileName;
    std::string Filter;
    std::string DefaultExt;

    // True when the user confirmed; FileName is then the chosen file.
    bool Execute(QWidget* owner);
};

class TFrmSettings : public QDialog {
    Q_OBJECT

public:
    explicit TFrmSettings(QWidget* owner);
    ~TFrmSettings() override;

    // Runs the dialog over owner and, after OK, stores the settings and deletes the report file
    // in the folder just stored. mrOk or mrCancel. A failing write of the store leaves as its
    // error, the remaining writes and the deletion skipped; the dialog is gone on every path.
    static int Execute(QWidget* owner);

    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnOK = nullptr;
    QGroupBox* GrpPDF = nullptr;
    QCheckBox* ChbShow = nullptr;
    QCheckBox* ChbPrint = nullptr;
    QGroupBox* GrpGDT = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* EdtImportFile = nullptr;
    QLineEdit* EdtExportFile = nullptr;
    QLabel* LblDir = nullptr;
    QLineEdit* EdtDirectory = nullptr;
    QToolButton* BtnDirectory = nullptr;
    QToolButton* BtnExpFile = nullptr;
    QToolButton* BtnImpFile = nullptr;
    TOpenDialog DlgOpen;
    // Opens the settings that go beyond this dialog's; they are stored by their own OK.
    QPushButton* BtnAdvanced = nullptr;

    void BtnDirectoryClick();
    void BtnOKClick();
    void BtnImpFileClick();
    void BtnExpFileClick();
    void BtnAdvancedClick();

public slots:
    // Escape, "Abbruch" and the close box all end the dialog with mrCancel.
    void reject() override;

private:
    void CreatePdfGroup();
    void CreateGdtGroup();
    void CreateButtons();
    void LoadSettings();
    bool ValidateInput();
    // Shows why the edit's path is refused, with the edit focused behind the box.
    void RefusePath(QLineEdit* edit, const std::string& message);
    void BrowseFileFor(QLineEdit* edit);
    void StoreSettings();
    void DeleteReportFile();
};
