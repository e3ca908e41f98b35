// A read-only archive folder, which POSIX gives by rights.

#include "app/Main.h"
#include "app/ReportArchive.h"
#include "common/BlockedFile.h"
#include "common/window/ArchiveExportFixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class ReadOnlyArchiveTest : public ArchiveExportFixture {};

TEST_F(ReadOnlyArchiveTest, CopyThatCannotBeWrittenStopsTheExportUntilTheFolderIsMended) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    SetOptions(true, true);
    const fs::path kept = archive_ / "kept.pdf";
    WriteBytes(kept, "an earlier copy");
    std::string shown;
    {
        ScopedUndeletableFile readOnlyFolder(kept);
        ModalBoxAnswerer answer;
        answer.Press("&OK")
            .Inspect([&](QWidget& box) { shown = AsMsgBox(box).Text(); })
            .Press("&OK");
        form_->BtnExport->click();
        EXPECT_TRUE(answer.Finished());
    }
    EXPECT_EQ(shown.rfind("Der Bericht konnte nicht ins Archiv kopiert werden:\r\n\r\nDatei \"", 0),
              0u)
        << shown;
    EXPECT_NE(shown.find("Die Messwerte wurden nicht exportiert"), std::string::npos) << shown;
    EXPECT_FALSE(fs::exists(result_));
    EXPECT_EQ(ArchiveFiles(), std::vector<fs::path>{kept});
    EXPECT_TRUE(form_->BtnExport->isEnabled());

    ModalBoxAnswerer again;
    again.Press("&OK");
    form_->BtnExport->click();
    EXPECT_TRUE(again.Finished());
    EXPECT_EQ(ArchiveFiles().size(), 2u);
    EXPECT_TRUE(fs::exists(result_));
    EXPECT_FALSE(form_->BtnExport->isEnabled());
}

} // namespace
