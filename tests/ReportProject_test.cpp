#include "report/ReportProject.h"
#include "report/TextTemplate.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace {

// A project with one report around the given elements (JSON text, comma-separated).
std::string WithElements(const std::string& elements, const std::string& styles = "{}") {
    return R"({"version": 1, "styles": )" + styles +
           R"(, "reports": [{"name": "R", "page": {"size": "A4", "margins": {"left": 20, "top": 10, "right": 10, "bottom": 10}}, "elements": [)" +
           elements + "]}]}";
}

// --- placeholders ---

struct TemplateCase {
    const char* name;
    const char* text;
    TextTemplate pieces;
};

void PrintTo(const TemplateCase& c, std::ostream* out) {
    *out << c.name;
}

class TemplateParseTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateParseTest, SplitsLiteralsColumnsAndParameters) {
    const TemplateParse parsed = ParseTextTemplate(GetParam().text);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.pieces, GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, TemplateParseTest,
    ::testing::Values(TemplateCase{"Empty", "", {}},
                      TemplateCase{"Plain", "Blutdruck", {{TextPiece::Literal, "Blutdruck"}}},
                      TemplateCase{"Column", "{Systole}", {{TextPiece::Column, "Systole"}}},
                      TemplateCase{"Param", "{$MeasuredAt}", {{TextPiece::Param, "MeasuredAt"}}},
                      TemplateCase{"Mixed",
                                   "Messung vom {$MeasuredAt}: {Systole}/{Diastole} mmHg",
                                   {{TextPiece::Literal, "Messung vom "},
                                    {TextPiece::Param, "MeasuredAt"},
                                    {TextPiece::Literal, ": "},
                                    {TextPiece::Column, "Systole"},
                                    {TextPiece::Literal, "/"},
                                    {TextPiece::Column, "Diastole"},
                                    {TextPiece::Literal, " mmHg"}}},
                      TemplateCase{"DoubledBraces",
                                   "{{a}} {{{Puls}}}",
                                   {{TextPiece::Literal, "{a} {"},
                                    {TextPiece::Column, "Puls"},
                                    {TextPiece::Literal, "}"}}},
                      TemplateCase{"Umlauts", "Größe ä", {{TextPiece::Literal, "Größe ä"}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadTemplateCase {
    const char* name;
    const char* text;
    const char* reasonPart;
};

void PrintTo(const BadTemplateCase& c, std::ostream* out) {
    *out << c.name;
}

class BadTemplateTest : public ::testing::TestWithParam<BadTemplateCase> {};

TEST_P(BadTemplateTest, NamesTheMistake) {
    const TemplateParse parsed = ParseTextTemplate(GetParam().text);
    EXPECT_NE(parsed.error.find(GetParam().reasonPart), std::string::npos) << parsed.error;
    EXPECT_TRUE(parsed.pieces.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Templates, BadTemplateTest,
    ::testing::Values(BadTemplateCase{"Unclosed", "Wert {Systole", "\"{\" ohne \"}\""},
                      BadTemplateCase{"StrayClose", "Wert }", "\"}\" ohne \"{\""},
                      BadTemplateCase{"EmptyName", "{}", "ohne Namen"},
                      BadTemplateCase{"EmptyParam", "{$}", "ohne Namen"},
                      BadTemplateCase{"Blank", "{Sys tole}", "{Sys tole}"},
                      BadTemplateCase{"Umlaut", "{Größe}", "Buchstaben"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TemplateExpandTest, FillsFromColumnsAndParametersAndReportsTheFirstMissingName) {
    const std::map<std::string, std::string> columns{{"Systole", "120"}};
    const std::map<std::string, std::string> params{{"Patient", "Muster"}};
    const TextTemplate text = ParseTextTemplate("{$Patient}: {Systole} {Puls} {$Nr}").pieces;
    std::optional<TextPiece> missing;
    EXPECT_EQ(ExpandTextTemplate(text, {&columns, &params}, &missing), "Muster: 120  ");
    ASSERT_TRUE(missing);
    EXPECT_EQ(*missing, (TextPiece{TextPiece::Column, "Puls"}));
    // A column is no parameter and the other way round.
    missing.reset();
    ExpandTextTemplate(ParseTextTemplate("{Patient}").pieces, {&columns, &params}, &missing);
    EXPECT_EQ(*missing, (TextPiece{TextPiece::Column, "Patient"}));
}

// --- whole projects ---

TEST(ReportProjectTest, ReadsEveryKindOfElementWithItsValues) {
    const std::string styles =
        R"({"big": {"font": "Liberation Sans", "size": 18, "bold": true, "italic": true, "color": "#16346e"}})";
    const ReportProjectData project = ParseReportProject(WithElements(
        R"({"type": "text", "x": 10, "y": 20, "width": 50, "height": 8, "text": "{Systole} mmHg",
            "style": "big", "align": "right", "valign": "bottom", "wrap": true, "if": "{Systole}"},
           {"type": "line", "x1": 0, "y1": 30, "x2": 180, "y2": 30, "thickness": 0.5, "color": "#ff0000", "unless": "{$P}"},
           {"type": "box", "x": 0, "y": 40, "width": 180, "height": 20, "thickness": 0, "fill": "#f0f0f0", "comment": "Notiz"},
           {"type": "image", "x": 140, "y": 0, "width": 40, "height": 30, "file": "logo.PNG"},
           {"type": "text", "x": 0, "y": 0, "width": 1, "height": 1, "text": "x"})",
        styles));
    ASSERT_EQ(project.reports.size(), 1u);
    const ReportDefinition& report = project.reports[0];
    EXPECT_EQ(report.title, "R") << "the name stands in for a missing title";
    EXPECT_EQ(report.connection, "");
    EXPECT_DOUBLE_EQ(report.page.ContentWidth(), 180);
    EXPECT_DOUBLE_EQ(report.page.ContentHeight(), 277);
    ASSERT_EQ(report.elements.size(), 5u);

    const auto& text = std::get<TextElement>(report.elements[0].shape);
    EXPECT_DOUBLE_EQ(text.box.x, 10);
    EXPECT_DOUBLE_EQ(text.box.height, 8);
    EXPECT_EQ(text.text, ParseTextTemplate("{Systole} mmHg").pieces);
    EXPECT_EQ(text.style.family, "Liberation Sans");
    EXPECT_DOUBLE_EQ(text.style.points, 18);
    EXPECT_TRUE(text.style.bold);
    EXPECT_TRUE(text.style.italic);
    EXPECT_EQ(text.style.color, QColor(0x16, 0x34, 0x6e));
    EXPECT_EQ(text.align, HorizontalAlign::Right);
    EXPECT_EQ(text.valign, VerticalAlign::Bottom);
    EXPECT_TRUE(text.wrap);
    EXPECT_EQ(report.elements[0].shownWhenFilled, ParseTextTemplate("{Systole}").pieces);
    EXPECT_FALSE(report.elements[0].shownWhenEmpty);

    const auto& line = std::get<LineElement>(report.elements[1].shape);
    EXPECT_DOUBLE_EQ(line.x2, 180);
    EXPECT_DOUBLE_EQ(line.thickness, 0.5);
    EXPECT_EQ(line.color, QColor(Qt::red));
    EXPECT_EQ(report.elements[1].shownWhenEmpty, ParseTextTemplate("{$P}").pieces);

    const auto& box = std::get<BoxElement>(report.elements[2].shape);
    EXPECT_DOUBLE_EQ(box.thickness, 0);
    EXPECT_EQ(box.fill, QColor(0xf0, 0xf0, 0xf0));

    const auto& image = std::get<ImageElement>(report.elements[3].shape);
    EXPECT_EQ(image.file, "logo.PNG");
    EXPECT_EQ(project.ImageFiles(), std::vector<std::string>{"logo.PNG"});

    const auto& plain = std::get<TextElement>(report.elements[4].shape);
    EXPECT_EQ(plain.style.family, "") << "the system's sans-serif font";
    EXPECT_DOUBLE_EQ(plain.style.points, 10);
    EXPECT_EQ(plain.align, HorizontalAlign::Left);
    EXPECT_EQ(plain.valign, VerticalAlign::Top);
    EXPECT_FALSE(plain.wrap);
}

TEST(ReportProjectTest, FindsReportsByShortNameWithoutRegardToCase) {
    const ReportProjectData project = ParseReportProject(
        R"({"version": 1, "fonts": ["a.ttf", "sub/b.ttf"], "reports": [
              {"name": "RptMeasurement", "title": "Blutdruckmessung", "connection": "RvConMeasurement", "elements": []},
              {"name": "Other", "elements": []}]})");
    EXPECT_EQ(project.fontFiles, (std::vector<std::string>{"a.ttf", "sub/b.ttf"}));
    const ReportDefinition* report = project.FindReport("rptmeasurement");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->name, "RptMeasurement");
    EXPECT_EQ(report->title, "Blutdruckmessung");
    EXPECT_EQ(report->connection, "RvConMeasurement");
    EXPECT_EQ(project.FindReport("RptMissing"), nullptr);
}

struct PageCase {
    const char* name;
    const char* page;
    double width;
    double height;
};

void PrintTo(const PageCase& c, std::ostream* out) {
    *out << c.name;
}

class PageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageTest, TakesSizeAndOrientation) {
    const ReportProjectData project =
        ParseReportProject(std::string(R"({"version": 1, "reports": [{"name": "R", )") +
                           GetParam().page + R"("elements": []}]})");
    EXPECT_DOUBLE_EQ(project.reports[0].page.width, GetParam().width);
    EXPECT_DOUBLE_EQ(project.reports[0].page.height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageTest,
    ::testing::Values(
        PageCase{"Default", "", 210, 297}, PageCase{"A5", R"("page": {"size": "A5"}, )", 148, 210},
        PageCase{"A4Landscape", R"("page": {"size": "A4", "orientation": "landscape"}, )", 297,
                 210},
        PageCase{"Custom", R"("page": {"width": 100, "height": 50}, )", 50, 100},
        PageCase{"CustomLandscape",
                 R"("page": {"width": 100, "height": 50, "orientation": "landscape"}, )", 100, 50}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportProjectTest, ExampleOfTheFormatDescriptionIsAValidProject) {
    std::ifstream readme(std::string(QUARN_TEST_DATA) + "/../../report/README.md");
    const std::string text{std::istreambuf_iterator<char>(readme), {}};
    const size_t start = text.find("```json\n");
    ASSERT_NE(start, std::string::npos) << "no example in report/README.md";
    const size_t end = text.find("```", start + 8);
    const ReportProjectData project = ParseReportProject(text.substr(start + 8, end - start - 8));
    const ReportDefinition* report = project.FindReport("RptMeasurement");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->connection, "RvConMeasurement");
    EXPECT_EQ(report->elements.size(), 6u);
}

TEST(ReportProjectTest, AcceptsALeadingByteOrderMarkAsWindowsEditorsWriteIt) {
    const ReportProjectData project =
        ParseReportProject("\xEF\xBB\xBF{\"version\": 1, \"reports\": []}");
    EXPECT_TRUE(project.reports.empty());
}

struct SyntaxCase {
    const char* name;
    std::string bytes;
    int line;
    int column;
    const char* reasonPart;
};

void PrintTo(const SyntaxCase& c, std::ostream* out) {
    *out << c.name;
}

class SyntaxErrorTest : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(SyntaxErrorTest, NamesLineAndColumn) {
    const SyntaxCase& c = GetParam();
    try {
        ParseReportProject(c.bytes);
        FAIL() << "accepted";
    } catch (const ProjectFormatError& error) {
        EXPECT_EQ(error.Line(), c.line) << error.what();
        EXPECT_EQ(error.Column(), c.column) << error.what();
        EXPECT_NE(error.Reason().find(c.reasonPart), std::string::npos) << error.what();
        EXPECT_EQ(std::string(error.what()), "Zeile " + std::to_string(c.line) + ", Spalte " +
                                                 std::to_string(c.column) + ": " + error.Reason());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, SyntaxErrorTest,
    ::testing::Values(
        SyntaxCase{"Empty", "", 1, 1, "Wert"}, SyntaxCase{"NotJson", "RAV\x01\x02", 1, 1, "Wert"},
        SyntaxCase{"MissingComma", "{\n  \"version\": 1\n  \"reports\": []\n}", 3, 3,
                   "\",\" oder \"}\""},
        SyntaxCase{"ColumnCountsCharacters", "{\"t\": \"äöü\" x}", 1, 13, "\",\" oder \"}\""},
        SyntaxCase{"MissingColon", "{\"version\" 1}", 1, 12, "\":\""},
        SyntaxCase{"CommaTooMany", "{\"version\": 1,\n}", 2, 1, "ein \",\" zu viel"},
        SyntaxCase{"Unclosed", "{\"version\": 1,\n\"reports\": [", 2, 12, "\"]\""},
        SyntaxCase{"UnclosedText", "{\"version\": 1, \"x\": \"abc", 1, 25, "nicht abgeschlossen"},
        SyntaxCase{"AnsiUmlaut",
                   "{\"version\": 1, \"x\": \"Gr\xF6\xDF"
                   "e\"}",
                   1, 24, "UTF-8"},
        SyntaxCase{"TrailingText", "{\"version\": 1, \"reports\": []} x", 1, 31, "weiterer Text"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ContentCase {
    const char* name;
    std::string json;
    const char* place;
    const char* reasonPart;
};

void PrintTo(const ContentCase& c, std::ostream* out) {
    *out << c.name;
}

class ContentErrorTest : public ::testing::TestWithParam<ContentCase> {};

TEST_P(ContentErrorTest, NamesTheReportElementAndReason) {
    const ContentCase& c = GetParam();
    try {
        ParseReportProject(c.json);
        FAIL() << "accepted";
    } catch (const ProjectFormatError& error) {
        EXPECT_EQ(error.Line(), 0);
        EXPECT_EQ(error.Place(), c.place) << error.what();
        EXPECT_NE(error.Reason().find(c.reasonPart), std::string::npos) << error.what();
        EXPECT_EQ(std::string(error.what()), error.Place() + ": " + error.Reason());
    }
}

const char* const Element1 = "Bericht \"R\", Element 1 (text)";

INSTANTIATE_TEST_SUITE_P(
    Content, ContentErrorTest,
    ::testing::Values(
        ContentCase{"TopLevelList", "[]", "Projekt", "Objekt"},
        ContentCase{"NoVersion", R"({"reports": []})", "Projekt", "\"version\" fehlt"},
        ContentCase{"OtherVersion", R"({"version": 2, "reports": []})", "Projekt",
                    "\"version\" 2 wird nicht unterstützt"},
        ContentCase{"UnknownProperty", R"({"version": 1, "report": []})", "Projekt",
                    "unbekannte Eigenschaft \"report\""},
        ContentCase{"NoReports", R"({"version": 1})", "Projekt", "\"reports\" fehlt"},
        ContentCase{"FontsNotNames", R"({"version": 1, "fonts": [1], "reports": []})", "Projekt",
                    "\"fonts\""},
        ContentCase{"ReportWithoutName", R"({"version": 1, "reports": [{"elements": []}]})",
                    "Bericht 1", "\"name\" fehlt"},
        ContentCase{
            "DuplicateReport",
            R"({"version": 1, "reports": [{"name": "R", "elements": []}, {"name": "r", "elements": []}]})",
            "Projekt", "zweimal"},
        ContentCase{
            "UnknownPageSize",
            R"({"version": 1, "reports": [{"name": "R", "page": {"size": "A7"}, "elements": []}]})",
            "Bericht \"R\", Seite", "\"A7\""},
        ContentCase{
            "SizeAndWidth",
            R"({"version": 1, "reports": [{"name": "R", "page": {"size": "A4", "width": 100}, "elements": []}]})",
            "Bericht \"R\", Seite", "entweder"},
        ContentCase{
            "MarginsFillThePage",
            R"({"version": 1, "reports": [{"name": "R", "page": {"margins": {"left": 105, "right": 105}}, "elements": []}]})",
            "Bericht \"R\", Seite", "keinen Platz"},
        ContentCase{"UnknownType", WithElements(R"({"type": "circle"})"),
                    "Bericht \"R\", Element 1", "\"circle\""},
        ContentCase{"TextWithoutText",
                    WithElements(R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5})"),
                    Element1, "\"text\" fehlt"},
        ContentCase{
            "Misspelt",
            WithElements(
                R"({"type": "text", "x": 0, "y": 0, "width": 10, "heigth": 5, "text": ""})"),
            Element1, "unbekannte Eigenschaft \"heigth\""},
        ContentCase{
            "NumberAsText",
            WithElements(
                R"({"type": "text", "x": "0", "y": 0, "width": 10, "height": 5, "text": ""})"),
            Element1, "\"x\" muss eine Zahl sein"},
        ContentCase{
            "OutsideTheArea",
            WithElements(
                R"({"type": "text", "x": 0, "y": 280, "width": 10, "height": 5, "text": ""})"),
            Element1, "\"y\" muss zwischen 0 und 277 liegen, ist 280"},
        ContentCase{
            "PastTheRightEdge",
            WithElements(
                R"({"type": "text", "x": 175, "y": 0, "width": 10, "height": 5, "text": ""})"),
            Element1, "185 mm ragt über den Inhaltsbereich hinaus (180 mm breit)"},
        ContentCase{
            "BadColour",
            WithElements(R"({"type": "line", "x1": 0, "y1": 0, "x2": 1, "y2": 1, "color": "red"})"),
            "Bericht \"R\", Element 1 (line)", "\"#1a2b3c\""},
        ContentCase{
            "UnknownStyle",
            WithElements(
                R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5, "text": "", "style": "big"})"),
            Element1, "den Stil \"big\""},
        ContentCase{"BadStyle", WithElements("", R"({"big": {"size": 0}})"), "Stil \"big\"",
                    "\"size\" muss zwischen 1 und 500 liegen"},
        ContentCase{
            "BadPlaceholder",
            WithElements(
                R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5, "text": "{Systole"})"),
            Element1, "\"text\": \"{\" ohne \"}\""},
        ContentCase{
            "BadCondition",
            WithElements(
                R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5, "text": "", "if": "{}"})"),
            Element1, "\"if\": Platzhalter ohne Namen"},
        ContentCase{
            "FlagAsText",
            WithElements(
                R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5, "text": "", "wrap": "yes"})"),
            Element1, "\"wrap\" muss true oder false sein"},
        ContentCase{
            "UnknownAlignment",
            WithElements(
                R"({"type": "text", "x": 0, "y": 0, "width": 10, "height": 5, "text": "", "align": "justify"})"),
            Element1, "\"align\" muss \"left\", \"center\", \"right\" sein"},
        ContentCase{
            "NotPng",
            WithElements(
                R"({"type": "image", "x": 0, "y": 0, "width": 10, "height": 5, "file": "logo.svg"})"),
            "Bericht \"R\", Element 1 (image)", "nur PNG-Bilder"},
        ContentCase{"ZeroWidth",
                    WithElements(R"({"type": "box", "x": 0, "y": 0, "width": 0, "height": 5})"),
                    "Bericht \"R\", Element 1 (box)", "\"width\" muss zwischen 0.1 und 180"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
