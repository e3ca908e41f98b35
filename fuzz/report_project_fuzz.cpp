// Any bytes as a report project file: the parser either gives a project that keeps every element
// on its page or a format error that names a real place, never anything else; and the texts it
// accepts fill without surprises.

#include "report/ReportDocument.h"
#include "report/ReportProject.h"
#include "report/TextTemplate.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

constexpr double Tolerance = 0.01;

bool Inside(const MmRect& box, const PageSetup& page) {
    return box.x >= 0 && box.y >= 0 && box.width > 0 && box.height > 0 &&
           box.x + box.width <= page.ContentWidth() + Tolerance &&
           box.y + box.height <= page.ContentHeight() + Tolerance;
}

void CheckElement(const ReportElement& element, const PageSetup& page) {
    if (const auto* text = std::get_if<TextElement>(&element.shape)) {
        Require(Inside(text->box, page), "text inside the content area");
        Require(text->style.points >= 1 && text->style.points <= 500, "font size in range");
    } else if (const auto* box = std::get_if<BoxElement>(&element.shape)) {
        Require(Inside(box->box, page), "box inside the content area");
    } else if (const auto* image = std::get_if<ImageElement>(&element.shape)) {
        Require(Inside(image->box, page), "image inside the content area");
        Require(!image->file.empty(), "image names a file");
    } else {
        const auto& line = std::get<LineElement>(element.shape);
        Require(line.x1 >= 0 && line.x2 <= page.ContentWidth() + Tolerance && line.y1 >= 0 &&
                    line.y2 <= page.ContentHeight() + Tolerance,
                "line inside the content area");
    }
}

void CheckProject(const ReportProjectData& project) {
    for (const ReportDefinition& report : project.reports) {
        Require(!report.name.empty(), "every report has a name");
        Require(project.FindReport(report.name) == &report, "report names are unique");
        Require(report.page.ContentWidth() >= 1 && report.page.ContentHeight() >= 1,
                "the margins leave room");
        for (const ReportElement& element : report.elements) {
            CheckElement(element, report.page);
        }
        try {
            FillReport(report, {}, {TRvRow{}}, {}, {});
        } catch (const ReportError&) {
            // Names the reports use are unknown here: a clear error is the expected outcome.
        }
    }
}

void CheckFormatError(const ProjectFormatError& error, std::string_view bytes) {
    Require(std::string_view(error.what()).size() > 0, "an error says something");
    Require(!error.Reason().empty(), "an error has a reason");
    if (error.Line() == 0) {
        Require(!error.Place().empty(), "an error without a line names its place");
        return;
    }
    const auto lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    Require(error.Line() >= 1 && error.Line() <= lines, "the line lies in the file");
    Require(error.Column() >= 1 && static_cast<size_t>(error.Column()) <= bytes.size() + 1,
            "the column lies in the line");
}

// A template's pieces written back as text read the same again.
void CheckTemplateRoundTrip(std::string_view text) {
    const TemplateParse parsed = ParseTextTemplate(text);
    if (!parsed.error.empty()) {
        Require(parsed.pieces.empty(), "a refused template has no pieces");
        return;
    }
    std::string written;
    for (const TextPiece& piece : parsed.pieces) {
        if (piece.kind == TextPiece::Literal) {
            for (char c : piece.text) {
                written += (c == '{' || c == '}') ? std::string(2, c) : std::string(1, c);
            }
        } else {
            written +=
                "{" + std::string(piece.kind == TextPiece::Param ? "$" : "") + piece.text + "}";
        }
    }
    Require(ParseTextTemplate(written).pieces == parsed.pieces, "template round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckTemplateRoundTrip(bytes);
    try {
        CheckProject(ParseReportProject(bytes));
    } catch (const ProjectFormatError& error) {
        CheckFormatError(error, bytes);
    }
    return 0;
}
