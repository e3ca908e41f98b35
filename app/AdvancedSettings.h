#pragma once
// TFrmAdvancedSettings: the settings beyond the ones of the settings dialog, opened from it. Each
// topic is a group box of its own, stacked in the order of creation; a new topic adds a group
// with its own loading, check and storing (see the constructor and the three steps).

#include <QDialog>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

class TFrmAdvancedSettings : public QDialog {
    Q_OBJECT

public:
    explicit TFrmAdvancedSettings(QWidget* owner);
    ~TFrmAdvancedSettings() override;

    // Runs the dialog over owner and stores its settings after OK; mrOk or mrCancel. A failing
    // write of the store leaves as its error; the dialog is gone on every path.
    static int Execute(QWidget* owner);

    // What the result record carries for the practice software.
    QGroupBox* GrpResult = nullptr;
    QCheckBox* ChbTestValues = nullptr;
    QLabel* LblTestIdents = nullptr;
    QLineEdit* EdtTestIdents = nullptr;
    // The report's copy for the practice software.
    QGroupBox* GrpAttachment = nullptr;
    QCheckBox* ChbAttachment = nullptr;
    QLabel* LblArchive = nullptr;
    QLineEdit* EdtArchive = nullptr;
    QToolButton* BtnArchive = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;

    void BtnOKClick();
    void BtnArchiveClick();

public slots:
    void reject() override;

private:
    QGroupBox* AddGroup(const char* name, const QString& title, int height);
    void CreateResultGroup();
    void CreateAttachmentGroup();
    void CreateButtons();
    void LoadSettings();
    bool ValidateInput();
    void StoreSettings();
    void Refuse(QLineEdit* edit, const std::string& message);

    QVBoxLayout* groups_ = nullptr;
};
