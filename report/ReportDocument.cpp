#include "report/ReportDocument.h"

#include "platform/Errors.h"

#include <optional>

namespace {

using ColumnTexts = std::map<std::string, std::string>;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string ElementPlace(const ReportDefinition& report, size_t index) {
    return "Bericht " + Quoted(report.name) + ", Element " + std::to_string(index + 1);
}

const TextTemplate* ElementText(const ReportElement& element) {
    const auto* text = std::get_if<TextElement>(&element.shape);
    return text ? &text->text : nullptr;
}

// Every template of an element: its text and its conditions.
std::vector<const TextTemplate*> ElementTemplates(const ReportElement& element) {
    std::vector<const TextTemplate*> templates;
    for (const TextTemplate* text :
         {ElementText(element), element.shownWhenFilled ? &*element.shownWhenFilled : nullptr,
          element.shownWhenEmpty ? &*element.shownWhenEmpty : nullptr}) {
        if (text) {
            templates.push_back(text);
        }
    }
    return templates;
}

void CheckNames(const ReportDefinition& report, const ColumnTexts& columns,
                const ReportParams& params) {
    const TemplateValues values{&columns, &params};
    for (size_t i = 0; i < report.elements.size(); ++i) {
        for (const TextTemplate* text : ElementTemplates(report.elements[i])) {
            std::optional<TextPiece> missing;
            ExpandTextTemplate(*text, values, &missing);
            if (!missing) {
                continue;
            }
            if (missing->kind == TextPiece::Param) {
                throw ReportError(ElementPlace(report, i) + ": der Parameter " +
                                  Quoted(missing->text) + " ist nicht gesetzt");
            }
            const std::string source =
                report.connection.empty()
                    ? "der Bericht liest keine Datenverbindung"
                    : "die Datenverbindung " + Quoted(report.connection) + " hat sie nicht";
            throw ReportError(ElementPlace(report, i) + ": die Spalte " + Quoted(missing->text) +
                              " gibt es nicht; " + source);
        }
    }
}

ColumnTexts RowTexts(const std::vector<TRvField>& fields, const TRvRow& row) {
    ColumnTexts texts;
    for (size_t i = 0; i < fields.size() && i < row.size(); ++i) {
        texts[fields[i].Name] = row[i].Shown();
    }
    return texts;
}

bool IsShown(const ReportElement& element, const TemplateValues& values) {
    if (element.shownWhenFilled && ExpandTextTemplate(*element.shownWhenFilled, values).empty()) {
        return false;
    }
    return !element.shownWhenEmpty || ExpandTextTemplate(*element.shownWhenEmpty, values).empty();
}

PlacedItem Place(const ReportElement& element, const TemplateValues& values,
                 const ReportImages& images) {
    if (const auto* text = std::get_if<TextElement>(&element.shape)) {
        return PlacedText{text->box,    ExpandTextTemplate(text->text, values),
                          text->style,  text->align,
                          text->valign, text->wrap};
    }
    if (const auto* image = std::get_if<ImageElement>(&element.shape)) {
        const auto found = images.find(image->file);
        return PlacedImage{image->box, found == images.end() ? QImage() : found->second};
    }
    if (const auto* line = std::get_if<LineElement>(&element.shape)) {
        return *line;
    }
    return std::get<BoxElement>(element.shape);
}

FilledPage FillPage(const ReportDefinition& report, const ColumnTexts& columns,
                    const ReportParams& params, const ReportImages& images) {
    const TemplateValues values{&columns, &params};
    FilledPage page;
    for (const ReportElement& element : report.elements) {
        if (IsShown(element, values)) {
            page.items.push_back(Place(element, values, images));
        }
    }
    return page;
}

} // namespace

FilledDocument FillReport(const ReportDefinition& report, const std::vector<TRvField>& fields,
                          const std::vector<TRvRow>& rows, const ReportParams& params,
                          const ReportImages& images) {
    if (rows.empty()) {
        throw ReportError("Bericht " + Quoted(report.name) + ": die Datenverbindung " +
                          Quoted(report.connection) + " hat keine Zeile geliefert");
    }
    CheckNames(report, RowTexts(fields, rows.front()), params);
    FilledDocument document{report.title, report.page, {}};
    for (const TRvRow& row : rows) {
        document.pages.push_back(FillPage(report, RowTexts(fields, row), params, images));
    }
    return document;
}
