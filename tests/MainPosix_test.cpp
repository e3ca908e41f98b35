// The hive file of POSIX: one that holds no hive is moved aside and the user told where.

#include "common/TestEnvironment.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/window/MainWindowFixture.h"
#include "platform/registry/Registry.h"
#include "support/VexSettings.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QStyle>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool HasIcon(QWidget& box) {
    return !AsMsgBox(box).ImgIcon()->pixmap().isNull();
}

int OpenMsgBoxes() {
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        open += (qobject_cast<TFrmMsgBox*>(widget) && widget->isVisible()) ? 1 : 0;
    }
    return open;
}

class BrokenSettingsTest : public MainWindowFixture {
protected:
    ScopedTestHome home_;
};

TEST_F(BrokenSettingsTest, AreResetAndTheUserToldWhereTheOldFileLies) {
    const fs::path hive = RegistryHivePath();
    fs::create_directories(hive.parent_path());
    std::ofstream(hive, std::ios::binary) << "this is not a hive\n";
    AppSettings = std::make_unique<TRegistrySettings>("Software/Lirn/Quarn", 1);
    ModalBoxAnswerer answer;
    std::string shown;
    answer
        .Inspect([&](QWidget& box) {
            shown = AsMsgBox(box).Text();
            EXPECT_TRUE(HasIcon(box));
            EXPECT_TRUE(form_->isVisible());
        })
        .Press("&OK");
    Show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));

    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(hive.parent_path())) {
        if (entry.path().filename().string().find(".invalid-") != std::string::npos) {
            aside.push_back(entry.path());
        }
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(shown, "Die Einstellungen waren beschädigt und wurden zurückgesetzt. Die alte "
                     "Datei liegt unter " +
                         aside[0].string() + ".");
}

TEST_F(BrokenSettingsTest, BrokenDuringTheRunAreToldOnceBeforeTheProgramEnds) {
    AppSettings = std::make_unique<TRegistrySettings>("Software/Lirn/Quarn", 1);
    AppSettings->WriteString("GDT\rImport\rimport.gdt", "import.gdt");
    Show();
    QApplication::processEvents();
    EXPECT_EQ(OpenMsgBoxes(), 0);

    const fs::path hive = RegistryHivePath();
    std::ofstream(hive, std::ios::binary | std::ios::trunc) << "broken while running\n";
    std::string shown;
    ModalBoxAnswerer answer;
    answer.Inspect([&](QWidget& box) { shown = AsMsgBox(box).Text(); }).Press("&OK");
    form_->close();
    ASSERT_TRUE(answer.Finished());
    EXPECT_NE(shown.find("Die Einstellungen waren beschädigt und wurden zurückgesetzt."),
              std::string::npos)
        << shown;
    EXPECT_EQ(OpenMsgBoxes(), 0);
}

TEST_F(BrokenSettingsTest, AnotherUsersSettingsAreNotUsedAndTheUserToldOnce) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    const fs::path folder = RegistryHivePath().parent_path();
    fs::create_directories(folder);
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    AppSettings = std::make_unique<TRegistrySettings>("Software/Lirn/Quarn", 1);
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(),
                      "Die Einstellungen unter " + folder.string() +
                          " gehören einem anderen Benutzer und werden nicht verwendet. Das "
                          "Programm arbeitet mit den Voreinstellungen und speichert dort nichts.");
        })
        .Press("&OK");
    Show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));
    EXPECT_EQ(AppSettings->ReadString("GDT\rImport\rimport.gdt"), "import.gdt");
    EXPECT_EQ(AppSettings->ReadString("PDF\rShow\rNO"), "NO");
    QApplication::processEvents();
    EXPECT_EQ(OpenMsgBoxes(), 0) << "told once";
    EXPECT_TRUE(fs::is_empty(folder));
}

// A pipe or a device at the request path is never read (a read could stall the window): the box
// names the file, and the measurement goes on without patient.
TEST_F(BrokenSettingsTest, RequestThatIsNoRegularFileIsNamedAndNeverRead) {
    const fs::path fifo = home_.root() / "import.gdt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_NO_FATAL_FAILURE(ShowConnected());
    form_->TmUSB->stop();
    for (const fs::path& request : {fifo, fs::path("/dev/zero")}) {
        SCOPED_TRACE(request.string());
        settings_->WriteString("GDT\rImport\rimport.gdt", request.string());
        ModalBoxAnswerer answer;
        answer
            .Inspect([&](QWidget& box) {
                EXPECT_EQ(AsMsgBox(box).Text(),
                          "Die GDT-Importdatei \"" + request.string() +
                              "\" kann nicht gelesen werden: Dateizugriff verweigert.\r\nDie "
                              "Messung wird ohne Patient angezeigt.");
            })
            .Press("&OK");
        script_->arrive("801E50485F0059");
        form_->TmUSBTimer();
        EXPECT_TRUE(answer.Finished());
        EXPECT_EQ(form_->LblUSBSystole->text().toStdString(), "110");
        EXPECT_EQ(form_->LblName->text().toStdString(), "-");
    }
}

} // namespace
