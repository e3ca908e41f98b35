#pragma once
// The connected window with a request folder, an export path and an archive folder, and what
// the export writes there, shared by the tests of the report's archive copy.

#include "app/SettingKeys.h"
#include "common/FileBytes.h"
#include "common/GdtFiles.h"
#include "common/TestEnvironment.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/window/MainWindowFixture.h"

#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class ArchiveExportFixture : public MainWindowFixture {
protected:
    // A valid measurement; the tests compare the record with the labels it shows.
    static constexpr const char* ValidFrame = "801E50485F0059";

    void SetUp() override {
        MainWindowFixture::SetUp();
        gdt_ = home_.root() / "gdt";
        archive_ = home_.root() / "archiv";
        std::filesystem::create_directory(gdt_);
        std::filesystem::create_directory(archive_);
        request_ = gdt_ / "import.gdt";
        result_ = gdt_ / "export.gdt";
        settings_->WriteString(ImportPathKey, request_.string());
        settings_->WriteString(ExportPathKey, result_.string());
        settings_->WriteString(ArchiveFolderKey, archive_.string());
        ASSERT_NO_FATAL_FAILURE(ShowConnected());
        form_->TmUSB->stop();
    }

    void TearDown() override {
        std::filesystem::permissions(archive_, std::filesystem::perms::owner_all);
        MainWindowFixture::TearDown();
    }

    void SetOptions(bool testValues, bool attachment) {
        settings_->WriteString(GdtTestValuesKey, testValues ? FlagOn : FlagOff);
        settings_->WriteString(GdtAttachmentKey, attachment ? FlagOn : FlagOff);
    }

    void Measure() {
        WriteBytes(request_, L("80006302") + L("8316PRAXIS01") + L("921802.10") + L("3000A/47:11") +
                                 L("3101Muster") + L("3102Erika"));
        script_->arrive(ValidFrame);
        form_->TmUSBTimer();
        ASSERT_TRUE(form_->BtnExport->isEnabled());
    }

    std::filesystem::path ReportPath() const { return report_->PdfFolder() / "lirn.pdf"; }

    std::vector<std::filesystem::path> ArchiveFiles() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(archive_)) {
            files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    // The content of the record's first line with field, or "<missing>".
    static std::string ContentOf(const std::vector<GdtRecordLine>& lines, int field) {
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const GdtRecordLine& l) { return l.field == field; });
        return line == lines.end() ? std::string("<missing>") : line->content;
    }

    static std::vector<std::string> ContentsOf(const std::vector<GdtRecordLine>& lines, int field) {
        std::vector<std::string> contents;
        for (const GdtRecordLine& line : lines) {
            if (line.field == field) {
                contents.push_back(line.content);
            }
        }
        return contents;
    }

    ScopedTestHome home_;
    std::filesystem::path gdt_;
    std::filesystem::path archive_;
    std::filesystem::path request_;
    std::filesystem::path result_;
};
