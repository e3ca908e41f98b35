#pragma once
// The content of a report project file: pages, text styles and the elements each report lays
// out, read from the file's bytes. The format is described in report/README.md.

#include "platform/Errors.h"
#include "report/TextTemplate.h"

#include <QColor>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A rectangle in millimetres, measured from the top-left corner of the page's content area.
struct MmRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

struct TextStyle {
    // Empty for the system's sans-serif font.
    std::string family;
    double points = 10;
    bool bold = false;
    bool italic = false;
    QColor color = Qt::black;
};

enum class HorizontalAlign { Left, Center, Right };
enum class VerticalAlign { Top, Middle, Bottom };

struct TextElement {
    MmRect box;
    TextTemplate text;
    TextStyle style;
    HorizontalAlign align = HorizontalAlign::Left;
    VerticalAlign valign = VerticalAlign::Top;
    bool wrap = false;
};

struct LineElement {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    double thickness = 0.3;
    QColor color = Qt::black;
};

struct BoxElement {
    MmRect box;
    // Zero draws no border.
    double thickness = 0.3;
    QColor color = Qt::black;
    std::optional<QColor> fill;
};

// A PNG file, named relative to the project file's folder, fitted into the box with its
// proportions kept.
struct ImageElement {
    MmRect box;
    std::string file;
};

struct ReportElement {
    std::variant<TextElement, LineElement, BoxElement, ImageElement> shape;
    // Drawn only when this text comes out non-empty ("if").
    std::optional<TextTemplate> shownWhenFilled;
    // Drawn only when this text comes out empty ("unless").
    std::optional<TextTemplate> shownWhenEmpty;
};

struct PageSetup {
    double width = 210;
    double height = 297;
    double marginLeft = 15;
    double marginTop = 15;
    double marginRight = 15;
    double marginBottom = 15;

    double ContentWidth() const { return width - marginLeft - marginRight; }
    double ContentHeight() const { return height - marginTop - marginBottom; }
};

struct ReportDefinition {
    // The short name a report is selected by.
    std::string name;
    // The PDF's document title.
    std::string title;
    // The data connection the report reads; empty for a report without data.
    std::string connection;
    PageSetup page;
    std::vector<ReportElement> elements;
};

struct ReportProjectData {
    // Font files to register before rendering, relative to the project file's folder.
    std::vector<std::string> fontFiles;
    std::vector<ReportDefinition> reports;

    // Short names compare without regard to ASCII letter case; nothing when there is none.
    const ReportDefinition* FindReport(const std::string& name) const;
    // Every image file named by an element, each once.
    std::vector<std::string> ImageFiles() const;
};

// The project file's bytes are not a valid project. The texts are German and name the place:
// line and column for a syntax error, the report and element for a wrong value.
class ProjectFormatError : public ReportError {
public:
    ProjectFormatError(int line, int column, std::string place, std::string reason);

    // 0 when the error is not tied to a position in the text.
    int Line() const { return line_; }
    int Column() const { return column_; }
    const std::string& Place() const { return place_; }
    const std::string& Reason() const { return reason_; }

private:
    int line_;
    int column_;
    std::string place_;
    std::string reason_;
};

// The project held in bytes (UTF-8 JSON, a leading byte-order mark allowed). Depends on nothing
// but the bytes; throws ProjectFormatError for anything that is not a valid project.
ReportProjectData ParseReportProject(std::string_view bytes);
