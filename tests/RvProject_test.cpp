#include "common/BlockedFile.h"
#include "common/TestEnvironment.h"
#include "common/report/PdfTools.h"
#include "common/widgets/TestApplication.h"
#include "platform/Errors.h"
#include "report/RvConnection.h"
#include "report/RvProject.h"
#include "report/RvRenderPDF.h"
#include "report/RvSystem.h"

#include <QFontDatabase>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <regex>

namespace fs = std::filesystem;

namespace {

const char* const FontDir = "/usr/share/fonts/truetype/liberation2";

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Contains(const std::string& text, const std::string& part) {
    return text.find(part) == std::string::npos ? "\"" + part + "\" missing in: " + text : "";
}

// The error text of a call that should throw ReportError; "" when it did not.
std::string ReportErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ReportError& error) {
        return error.what();
    }
    return "";
}

// A project with one report "Rpt" of the given elements reading the connection "Con".
std::string Project(const std::string& elements,
                    const std::string& fonts = R"(["LiberationSans-Regular.ttf"])",
                    const std::string& connection = "Con") {
    return R"({"version": 1, "fonts": )" + fonts + R"(,
  "styles": {"value": {"font": "Liberation Sans", "size": 14}},
  "reports": [{"name": "Rpt", "title": "Testbericht", "connection": ")" +
           connection + R"(", "elements": [)" + elements + "]}]}";
}

const std::string ValueElements =
    R"({"type": "text", "x": 0, "y": 0, "width": 100, "height": 10, "text": "Systole {Systole} / {Arrhythmie}", "style": "value"},
       {"type": "text", "x": 0, "y": 20, "width": 100, "height": 10, "text": "Patient {$Patient}", "if": "{$Patient}"},
       {"type": "text", "x": 0, "y": 30, "width": 100, "height": 10, "text": "ohne Patient", "unless": "{$Patient}"},
       {"type": "line", "x1": 0, "y1": 40, "x2": 100, "y2": 40},
       {"type": "box", "x": 0, "y": 50, "width": 100, "height": 20, "fill": "#f0f0f0"},
       {"type": "image", "x": 120, "y": 0, "width": 40, "height": 30, "file": "logo.png"})";

// The engine over a connection whose rows the test sets, with a project folder beside an output
// folder in a temporary home.
class ReportEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        projectDir_ = home_.root() / "program";
        outputDir_ = home_.root() / "pdf";
        fs::create_directories(projectDir_);
        fs::create_directories(outputDir_);
        projectFile_ = projectDir_ / "LirnQuarn.rav";
        output_ = outputDir_ / "lirn.pdf";
        fs::copy_file(fs::path(FontDir) / "LiberationSans-Regular.ttf",
                      projectDir_ / "LiberationSans-Regular.ttf");
        WriteLogo(projectDir_ / "logo.png");

        project_.Engine = &system_;
        project_.AddConnection(connection_);
        project_.SetProjectFile(projectFile_.string());
        system_.RenderObject = &renderer_;
        system_.OutputFileName = output_.string();
        project_.SetParam("Patient", "");

        connection_.OnGetCols = [this](TRvCustomConnection& connection) {
            log_ += "cols ";
            row_ = 0;
            for (const char* column : {"Systole", "Arrhythmie"}) {
                connection.WriteField(column, dtString, 20, "", "");
            }
        };
        connection_.OnEOF = [this](TRvCustomConnection&, bool& eof) {
            log_ += "eof ";
            eof = row_ >= rows_.size();
        };
        connection_.OnGetRow = [this](TRvCustomConnection& connection) {
            log_ += "row ";
            for (const std::string& value : rows_[row_]) {
                connection.WriteStrData("", value);
            }
        };
        connection_.OnNext = [this](TRvCustomConnection&) {
            log_ += "next ";
            ++row_;
        };
    }

    void TearDown() override {
        fs::permissions(outputDir_, fs::perms::owner_all);
        fs::permissions(projectDir_, fs::perms::owner_all);
    }

    static void WriteLogo(const fs::path& path) {
        QImage logo(60, 40, QImage::Format_ARGB32);
        logo.fill(Qt::transparent);
        logo.setPixelColor(30, 20, Qt::red);
        ASSERT_TRUE(logo.save(QString::fromStdString(path.string()), "PNG"));
    }

    void WriteProject(const std::string& json) { WriteBytes(projectFile_, json); }

    // Selects and runs the report "Rpt".
    void Run() {
        ASSERT_TRUE(project_.SelectReport("Rpt"));
        project_.Execute();
    }

    ScopedTestHome home_;
    fs::path projectDir_;
    fs::path outputDir_;
    fs::path projectFile_;
    fs::path output_;
    TRvProject project_;
    TRvSystem system_;
    TRvRenderPDF renderer_;
    TRvCustomConnection connection_{"Con"};
    std::vector<std::vector<std::string>> rows_{{"128", "Nein"}};
    size_t row_ = 0;
    std::string log_;
};

TEST_F(ReportEngineTest, ConnectionIsOpenedAgainForEveryRun) {
    rows_ = {{"128", "Nein"}, {"131", "Ja"}};
    const std::vector<TRvRow> first = connection_.ReadRows();
    EXPECT_EQ(log_, "cols eof row next eof row next eof ");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1][0].Native, "131");
    EXPECT_EQ(first[1][1].Shown(), "Ja");
    ASSERT_EQ(connection_.Fields().size(), 2u);
    EXPECT_EQ(connection_.Fields()[0].Name, "Systole");
    EXPECT_EQ(connection_.Fields()[0].Width, 20);

    log_.clear();
    EXPECT_EQ(connection_.ReadRows().size(), 2u) << "a second run starts from its first row again";
    EXPECT_EQ(log_, "cols eof row next eof row next eof ");
}

TEST_F(ReportEngineTest, FirstEventRunsBeforeTheRowsWhenHandled) {
    connection_.OnFirst = [this](TRvCustomConnection&) {
        log_ += "first ";
        row_ = 1;
    };
    rows_ = {{"1", "a"}, {"2", "b"}};
    const std::vector<TRvRow> rows = connection_.ReadRows();
    EXPECT_EQ(log_, "cols first eof row next eof ");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].Native, "2");
}

TEST_F(ReportEngineTest, FormattedTextGoesBeforeTheNativeOne) {
    EXPECT_EQ((TRvValue{"1,5", "1.5"}).Shown(), "1,5");
    EXPECT_EQ((TRvValue{"", "1.5"}).Shown(), "1.5");
}

struct ProtocolBreach {
    const char* name;
    std::function<void(TRvCustomConnection&)> breach;
    const char* reasonPart;
};

void PrintTo(const ProtocolBreach& c, std::ostream* out) {
    *out << c.name;
}

class ConnectionBreachTest : public ReportEngineTest,
                             public ::testing::WithParamInterface<ProtocolBreach> {};

TEST_P(ConnectionBreachTest, EndsTheRunWithItsReason) {
    GetParam().breach(connection_);
    const std::string error = ReportErrorOf([&] { connection_.ReadRows(); });
    EXPECT_EQ(Contains(error, "Datenverbindung \"Con\": "), "");
    EXPECT_EQ(Contains(error, GetParam().reasonPart), "");
}

INSTANTIATE_TEST_SUITE_P(
    Breaches, ConnectionBreachTest,
    ::testing::Values(
        ProtocolBreach{"NoColumnHandler", [](auto& c) { c.OnGetCols = nullptr; }, "keine Spalten"},
        ProtocolBreach{"NoColumns", [](auto& c) { c.OnGetCols = [](auto&) {}; }, "keine Spalten"},
        ProtocolBreach{"TwiceTheSameColumn",
                       [](auto& c) {
                           c.OnGetCols = [](TRvCustomConnection& con) {
                               con.WriteField("A", dtString, 20, "", "");
                               con.WriteField("A", dtString, 20, "", "");
                           };
                       },
                       "zweimal"},
        ProtocolBreach{"NoWidth",
                       [](auto& c) {
                           c.OnGetCols = [](TRvCustomConnection& con) {
                               con.WriteField("A", dtString, 0, "", "");
                           };
                       },
                       "keine Breite"},
        ProtocolBreach{"NoEndTest", [](auto& c) { c.OnEOF = nullptr; }, "zu Ende"},
        ProtocolBreach{"ValueMissing",
                       [](auto& c) {
                           c.OnGetRow = [](TRvCustomConnection& con) { con.WriteStrData("", "1"); };
                       },
                       "1 Werte für 2 Spalten"},
        ProtocolBreach{"ValueTooMany",
                       [](auto& c) {
                           c.OnGetRow = [](TRvCustomConnection& con) {
                               for (int i = 0; i < 3; ++i) {
                                   con.WriteStrData("", "1");
                               }
                           };
                       },
                       "mehr Werte"},
        ProtocolBreach{"ColumnDuringRow",
                       [](auto& c) {
                           c.OnGetRow = [](TRvCustomConnection& con) {
                               con.WriteField("B", dtString, 20, "", "");
                           };
                       },
                       "nur beim Öffnen"},
        ProtocolBreach{"NeverEnds",
                       [](auto& c) {
                           c.OnEOF = [](TRvCustomConnection&, bool& eof) { eof = false; };
                           c.OnNext = nullptr;
                       },
                       "das Ende wird nicht erreicht"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportEngineTest, ReportBecomesAnArchivalPdfWithItsDataAndEmbeddedFonts) {
    WriteProject(Project(ValueElements));
    project_.SetParam("Patient", "Müller, Jörg");
    Run();
    ASSERT_TRUE(fs::exists(output_));
    const std::string pdf = output_.string();

    const std::string text = PdfText(pdf);
    EXPECT_EQ(Contains(text, "Systole 128 / Nein"), "");
    EXPECT_EQ(Contains(text, "Patient Müller, Jörg"), "");
    EXPECT_EQ(text.find("ohne Patient"), std::string::npos) << "hidden while a patient is set";

    const std::string metadata = PdfMetadata(pdf);
    EXPECT_EQ(Contains(metadata, "pdfaid:part=\"1\""), "");
    EXPECT_EQ(Contains(metadata, "pdfaid:conformance=\"B\""), "");
    EXPECT_EQ(Contains(metadata, "xmp:CreateDate="), "");
    EXPECT_EQ(Contains(metadata, "<rdf:li xml:lang=\"x-default\">Testbericht</rdf:li>"), "");

    const std::string info = PdfInfo(pdf);
    EXPECT_EQ(Contains(info, "Title:           Testbericht"), "");
    EXPECT_EQ(Contains(info, "Creator:         lirn Quarn Berichtsmodul"), "");
    EXPECT_EQ(Contains(info, "CreationDate:"), "");
    EXPECT_EQ(Contains(info, "Pages:           1"), "");
    EXPECT_EQ(Contains(info, "(A4)"), "");

    const std::vector<PdfFont> fonts = PdfFonts(pdf);
    ASSERT_FALSE(fonts.empty());
    for (const PdfFont& font : fonts) {
        EXPECT_TRUE(font.embedded) << font.name;
    }
    EXPECT_EQ(fonts.front().name.find("LiberationSans"), 0u) << fonts.front().name;

    const CommandResult check = QpdfCheck(pdf);
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_EQ(Contains(check.out, "No syntax or stream encoding errors"), "");
    // PDF/A-1 forbids transparency: the logo's transparent pixels lie on white, unmasked.
    const std::string objects =
        RunCommand("qpdf", {"--qdf", "--object-streams=disable", pdf, "-"}).out;
    EXPECT_EQ(Contains(objects, "/Subtype /Image"), "");
    EXPECT_EQ(Contains(objects, "/S /GTS_PDFA1"), "") << "no output intent";
    EXPECT_EQ(Contains(objects, "/OutputConditionIdentifier (sRGB"), "");
    EXPECT_EQ(Contains(objects, "/DestOutputProfile"), "");
    EXPECT_FALSE(std::regex_search(objects, std::regex("/SMask [0-9]"))) << "a soft mask";
}

TEST_F(ReportEngineTest, EveryRowGetsAPageAndConditionsFollowTheParameters) {
    rows_ = {{"128", "Nein"}, {"131", "Ja"}};
    WriteProject(Project(ValueElements));
    Run();
    EXPECT_EQ(Contains(PdfInfo(output_.string()), "Pages:           2"), "");
    const std::string text = PdfText(output_.string());
    EXPECT_EQ(Contains(text, "Systole 128 / Nein"), "");
    EXPECT_EQ(Contains(text, "Systole 131 / Ja"), "");
    EXPECT_EQ(Contains(text, "ohne Patient"), "");
    EXPECT_EQ(text.find("Patient "), std::string::npos) << "hidden without a patient";
}

TEST_F(ReportEngineTest, ReportWithoutConnectionIsOnePageOfItsParameters) {
    WriteProject(Project(
        R"({"type": "text", "x": 0, "y": 0, "width": 100, "height": 10, "text": "Nur {$Patient}"})",
        "[]", ""));
    project_.SetParam("Patient", "Muster");
    Run();
    EXPECT_EQ(log_, "") << "no connection was opened";
    EXPECT_EQ(Contains(PdfText(output_.string()), "Nur Muster"), "");
}

TEST_F(ReportEngineTest, MissingFontFileFallsBackToAnEmbeddedSystemFont) {
    WriteProject(Project(
        R"({"type": "text", "x": 0, "y": 0, "width": 100, "height": 10, "text": "Systole {Systole}", "style": "other"})",
        R"(["fehlt.ttf", "kaputt.ttf"])"));
    WriteBytes(projectDir_ / "kaputt.ttf", "keine Schrift");
    const std::string json = ReadBytes(projectFile_);
    WriteProject(json.substr(0, json.find("\"styles\"")) +
                 R"("styles": {"other": {"font": "Keine Solche Schrift"}},)" +
                 json.substr(json.find("\"reports\"")));
    Run();
    EXPECT_EQ(Contains(PdfText(output_.string()), "Systole 128"), "");
    const std::vector<PdfFont> fonts = PdfFonts(output_.string());
    ASSERT_FALSE(fonts.empty());
    for (const PdfFont& font : fonts) {
        EXPECT_TRUE(font.embedded) << font.name;
    }
}

// Liberation Sans under a family name of the test's own, which no system has installed.
void WriteRenamedFont(const fs::path& path, const std::string& family) {
    std::string font = ReadBytes(fs::path(FontDir) / "LiberationSans-Regular.ttf");
    const auto wide = [](const std::string& text) {
        std::string utf16;
        for (char c : text) {
            utf16 += '\0';
            utf16 += c;
        }
        return utf16;
    };
    const std::string spaceless = family.substr(0, family.find(' ')) + "Sans";
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"Liberation Sans", family},
                                   {"LiberationSans", spaceless}}) {
        for (const auto& [old, now] : {std::pair{from, to}, std::pair{wide(from), wide(to)}}) {
            for (size_t at = font.find(old); at != std::string::npos; at = font.find(old, at)) {
                font.replace(at, old.size(), now);
            }
        }
    }
    WriteBytes(path, font);
}

TEST_F(ReportEngineTest, FontFileLargerThanItsLimitIsLeftOut) {
    WriteRenamedFont(projectDir_ / "probe.ttf", "Quarnprobe Sans");
    WriteRenamedFont(projectDir_ / "gross.ttf", "Quarngross Sans");
    fs::resize_file(projectDir_ / "gross.ttf", (32 << 20) + 1);
    WriteProject(Project(ValueElements, R"(["probe.ttf", "gross.ttf"])"));
    ASSERT_TRUE(project_.SelectReport("Rpt"));
    const QStringList families = QFontDatabase::families();
    EXPECT_TRUE(families.contains("Quarnprobe Sans"));
    EXPECT_FALSE(families.contains("Quarngross Sans"));
}

TEST_F(ReportEngineTest, LongTextShrinksIntoItsBoxAndIsCutOnlyWhenFarTooLong) {
    WriteProject(Project(
        R"({"type": "text", "x": 0, "y": 0, "width": 30, "height": 8, "text": "{$Patient}", "style": "value"},
           {"type": "text", "x": 0, "y": 20, "width": 30, "height": 8, "text": "{$Long}", "style": "value"})"));
    // About 37 mm at 14 pt: it fits its 30 mm once shrunk.
    project_.SetParam("Patient", "Müller-Lüdenscheid");
    project_.SetParam("Long", "Müller-Lüdenscheid-Wolkenstein-Hohenzollern");
    Run();
    const std::string text = PdfText(output_.string());
    EXPECT_EQ(Contains(text, "Müller-Lüdenscheid"), "");
    EXPECT_EQ(Contains(text, "…"), "");
    EXPECT_EQ(text.find("Hohenzollern"), std::string::npos);
}

TEST_F(ReportEngineTest, UnknownColumnOrUnsetParameterWritesNothing) {
    for (
        const auto& [element, part] : std::vector<std::pair<std::string, std::string>>{
            {R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5, "text": "{Systol}"})",
             "Element 1: die Spalte \"Systol\" gibt es nicht; die Datenverbindung \"Con\" hat "
             "sie nicht"},
            {R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5, "text": "", "unless": "{$Arzt}"})",
             "Element 1: der Parameter \"Arzt\" ist nicht gesetzt"}}) {
        project_.SetProjectFile("");
        project_.SetProjectFile(projectFile_.string());
        WriteProject(Project(element));
        EXPECT_EQ(Contains(ReportErrorOf([&] { Run(); }), "Bericht \"Rpt\", " + part), "");
        EXPECT_FALSE(fs::exists(output_));
    }
}

TEST_F(ReportEngineTest, ReportReadingAConnectionTheProgramLacksFails) {
    WriteProject(Project("", "[]", "RvConOther"));
    EXPECT_EQ(Contains(ReportErrorOf([&] { Run(); }),
                       "die Datenverbindung \"RvConOther\" gibt es im Programm nicht"),
              "");
}

TEST_F(ReportEngineTest, ConnectionWithoutRowsGivesNoReport) {
    rows_.clear();
    WriteProject(Project(ValueElements));
    EXPECT_EQ(Contains(ReportErrorOf([&] { Run(); }), "hat keine Zeile geliefert"), "");
    EXPECT_FALSE(fs::exists(output_));
}

struct OutputCase {
    const char* name;
    std::function<void(TRvSystem&)> setUp;
    const char* reasonPart;
};

void PrintTo(const OutputCase& c, std::ostream* out) {
    *out << c.name;
}

class OutputSettingsTest : public ReportEngineTest,
                           public ::testing::WithParamInterface<OutputCase> {};

TEST_P(OutputSettingsTest, RefusesWhatItCannotDoWithoutAWindow) {
    WriteProject(Project(ValueElements));
    GetParam().setUp(system_);
    EXPECT_EQ(Contains(ReportErrorOf([&] { Run(); }), GetParam().reasonPart), "");
    EXPECT_FALSE(fs::exists(output_));
    EXPECT_EQ(log_, "") << "nothing was asked of the connection";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, OutputSettingsTest,
    ::testing::Values(OutputCase{"NoRenderObject", [](TRvSystem& s) { s.RenderObject = nullptr; },
                                 "kein Ausgabeformat"},
                      OutputCase{"NativeOutput", [](TRvSystem& s) { s.DoNativeOutput = true; },
                                 "kein Ausgabeformat"},
                      OutputCase{"NoFileName", [](TRvSystem& s) { s.OutputFileName.clear(); },
                                 "keine Ausgabedatei"},
                      OutputCase{"SetupDialog",
                                 [](TRvSystem& s) { s.SystemSetups |= ssAllowSetup; },
                                 "ohne Einrichtungsdialog und Statusfenster"},
                      OutputCase{"StatusWindow",
                                 [](TRvSystem& s) { s.SystemOptions |= soShowStatus; },
                                 "ohne Einrichtungsdialog und Statusfenster"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportEngineTest, PdfThatCannotBeWrittenLeavesThePreviousOneUntouched) {
    WriteProject(Project(ValueElements));
    WriteBytes(output_, "voriger Bericht");
    std::string error;
    {
        ScopedBlockedFile blocked(output_);
        error = ReportErrorOf([&] { Run(); });
    }
    EXPECT_EQ(Contains(error, "Der Bericht \"Rpt\" wurde nicht gespeichert. "), "");
    EXPECT_EQ(Contains(error, output_.string()), "");
    EXPECT_EQ(ReadBytes(output_), "voriger Bericht");
    EXPECT_EQ(std::distance(fs::directory_iterator(outputDir_), fs::directory_iterator()), 1)
        << "no temporary file stays behind";
}

TEST_F(ReportEngineTest, SecondRunReplacesTheFile) {
    WriteProject(Project(ValueElements));
    Run();
    rows_ = {{"141", "Ja"}};
    Run();
    const std::string text = PdfText(output_.string());
    EXPECT_EQ(Contains(text, "Systole 141 / Ja"), "");
    EXPECT_EQ(text.find("128"), std::string::npos);
}

struct LoadCase {
    const char* name;
    // Puts the project folder into the state of the case.
    std::function<void(const fs::path& projectFile)> arrange;
    // Parts of the text, after the project file's path.
    std::vector<std::string> parts;
    // The project file is held as another program or a missing right holds it.
    bool blocked = false;
};

void PrintTo(const LoadCase& c, std::ostream* out) {
    *out << c.name;
}

class ProjectLoadTest : public ReportEngineTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(ProjectLoadTest, NamesTheFileAndTheReason) {
    GetParam().arrange(projectFile_);
    std::string error;
    {
        std::optional<ScopedBlockedFile> blocked;
        if (GetParam().blocked) {
            blocked.emplace(projectFile_);
        }
        error = ReportErrorOf([&] { project_.SelectReport("Rpt"); });
    }
    ASSERT_NE(error, "") << "selected without complaint";
    for (const std::string& part : GetParam().parts) {
        EXPECT_EQ(Contains(error, part), "");
    }
    EXPECT_EQ(Contains(error, projectFile_.string()), "");
    EXPECT_FALSE(project_.Loaded());
}

INSTANTIATE_TEST_SUITE_P(
    Loading, ProjectLoadTest,
    ::testing::Values(
        LoadCase{"Missing", [](const fs::path&) {}, {"Die Berichtsprojektdatei \"", "\" fehlt"}},
        LoadCase{"Folder",
                 [](const fs::path& p) { fs::create_directory(p); },
                 {"kann nicht gelesen werden: Dateizugriff verweigert"}},
        LoadCase{"Unreadable",
                 [](const fs::path& p) { WriteBytes(p, Project("")); },
                 {"kann nicht gelesen werden: " + ScopedBlockedFile::ReadErrorText()},
                 true},
        LoadCase{
            "Malformed",
            [](const fs::path& p) { WriteBytes(p, "{\n  \"version\": 1\n  \"reports\": []\n}"); },
            {"\" ist fehlerhaft: Zeile 3, Spalte 3: hier wird \",\" oder \"}\" erwartet"}},
        LoadCase{"WrongValue",
                 [](const fs::path& p) { WriteBytes(p, Project(R"({"type": "kreis"})")); },
                 {"\" ist fehlerhaft: Bericht \"Rpt\", Element 1: \"type\" muss"}},
        LoadCase{"ImageMissing",
                 [](const fs::path& p) {
                     WriteBytes(p, Project(ValueElements));
                     fs::remove(p.parent_path() / "logo.png");
                 },
                 {"Das Bild \"", "logo.png\" des Berichtsprojekts \"", "\" fehlt"}},
        LoadCase{"LargerThanItsLimit",
                 [](const fs::path& p) {
                     WriteBytes(p, Project(ValueElements));
                     fs::resize_file(p, (1 << 20) + 1);
                 },
                 {"Die Berichtsprojektdatei \"", "\" ist größer als 1 MB und wird nicht gelesen"}},
        LoadCase{"ImageLargerThanItsLimit",
                 [](const fs::path& p) {
                     WriteBytes(p, Project(ValueElements));
                     fs::resize_file(p.parent_path() / "logo.png", (8 << 20) + 1);
                 },
                 {"logo.png\" des Berichtsprojekts \"",
                  "\" ist größer als 8 MB und wird nicht gelesen"}},
        LoadCase{"ImageNoPng",
                 [](const fs::path& p) {
                     WriteBytes(p, Project(ValueElements));
                     WriteBytes(p.parent_path() / "logo.png", "GIF89a");
                 },
                 {"logo.png\" des Berichtsprojekts \"", "\" ist kein lesbares PNG-Bild"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Blanks after the project's text and bytes after the picture's end are read and ignored.
TEST_F(ReportEngineTest, ProjectAndImageAsLargeAsTheirLimitsAreRead) {
    std::string json = Project(ValueElements);
    json.resize(1 << 20, ' ');
    WriteProject(json);
    fs::resize_file(projectDir_ / "logo.png", 8 << 20);
    Run();
    EXPECT_EQ(Contains(PdfText(output_.string()), "Systole 128 / Nein"), "");
}

TEST_F(ReportEngineTest, ProjectIsReadOnceAndKeptForTheRun) {
    WriteProject(Project(ValueElements));
    EXPECT_FALSE(project_.Loaded());
    Run();
    EXPECT_TRUE(project_.Loaded());
    fs::remove(projectFile_);
    fs::remove(projectDir_ / "logo.png");
    rows_ = {{"99", "Ja"}};
    Run();
    EXPECT_EQ(Contains(PdfText(output_.string()), "Systole 99 / Ja"), "");
    // The same path named again at a later discovery keeps what was read.
    project_.SetProjectFile(projectFile_.string());
    EXPECT_TRUE(project_.SelectReport("Rpt"));
}

TEST_F(ReportEngineTest, ProjectThatFailedIsReadAgainAtTheNextSelection) {
    EXPECT_NE(ReportErrorOf([&] { project_.SelectReport("Rpt"); }), "");
    WriteProject(Project(ValueElements));
    EXPECT_TRUE(project_.SelectReport("Rpt"));
}

TEST_F(ReportEngineTest, AnotherProjectFileReplacesTheLoadedOne) {
    WriteProject(Project(ValueElements));
    ASSERT_TRUE(project_.SelectReport("Rpt"));
    const fs::path other = projectDir_ / "Anderes.rav";
    WriteBytes(other, R"({"version": 1, "reports": [{"name": "Anderer", "elements": []}]})");
    project_.SetProjectFile(other.string());
    EXPECT_FALSE(project_.Loaded());
    EXPECT_FALSE(project_.SelectReport("Rpt"));
    EXPECT_TRUE(project_.SelectReport("Anderer"));
}

TEST_F(ReportEngineTest, ReportMissingFromTheProjectIsNotSelected) {
    WriteProject(Project(ValueElements));
    EXPECT_FALSE(project_.SelectReport("RptMeasurement"));
    EXPECT_EQ(Contains(ReportErrorOf([&] { project_.Execute(); }), "kein Bericht ausgewählt"), "");
    EXPECT_TRUE(project_.SelectReport("rpt")) << "short names ignore letter case";
    EXPECT_FALSE(fs::exists(output_));
}

TEST_F(ReportEngineTest, NoProjectFileNamedIsAnError) {
    project_.SetProjectFile("");
    EXPECT_EQ(Contains(ReportErrorOf([&] { project_.SelectReport("Rpt"); }),
                       "keine Berichtsprojektdatei festgelegt"),
              "");
}

} // namespace
