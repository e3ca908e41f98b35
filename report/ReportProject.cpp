#include "report/ReportProject.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>

namespace {

constexpr int SupportedVersion = 1;
// Millimetres a computed edge may pass the content area by, for numbers that do not add up
// exactly in binary.
constexpr double EdgeTolerance = 0.001;
constexpr double LargestPage = 2000;
constexpr double SmallestPage = 20;
constexpr double ThickestLine = 20;
constexpr double SmallestPoints = 1;
constexpr double LargestPoints = 500;

struct NamedPageSize {
    const char* name;
    double width;
    double height;
};
constexpr NamedPageSize PageSizes[] = {
    {"A3", 297, 420},         {"A4", 210, 297},        {"A5", 148, 210},
    {"Letter", 215.9, 279.4}, {"Legal", 215.9, 355.6},
};

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string NumberText(double value) {
    return QString::number(value, 'g', 8).toStdString();
}

bool SameName(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string SyntaxErrorText(QJsonParseError::ParseError error) {
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return "hier wird \",\" oder \"}\" erwartet";
    case QJsonParseError::MissingNameSeparator:
        return "hier wird \":\" nach dem Eigenschaftsnamen erwartet";
    case QJsonParseError::UnterminatedArray:
        return "hier wird \",\" oder \"]\" erwartet";
    case QJsonParseError::MissingValueSeparator:
        return "hier wird \",\" erwartet";
    case QJsonParseError::IllegalValue:
        return "hier wird ein Wert erwartet (Text in \"...\", Zahl, true, false, {...} oder "
               "[...])";
    case QJsonParseError::MissingObject:
        return "hier wird ein weiterer Eintrag erwartet (ein \",\" zu viel?)";
    case QJsonParseError::TerminationByNumber:
        return "die Datei endet mitten in einer Zahl";
    case QJsonParseError::IllegalNumber:
        return "ungültige Zahl";
    case QJsonParseError::IllegalEscapeSequence:
        return "ungültiges Zeichen nach \"\\\"";
    case QJsonParseError::IllegalUTF8String:
        return "ungültige Zeichen: die Datei muss als UTF-8 gespeichert sein";
    case QJsonParseError::UnterminatedString:
        return "ein Text in \"...\" ist nicht abgeschlossen";
    case QJsonParseError::DeepNesting:
        return "zu tief verschachtelt";
    case QJsonParseError::DocumentTooLarge:
        return "die Datei ist zu groß";
    case QJsonParseError::GarbageAtEnd:
        return "weiterer Text nach dem Ende des Projekts";
    case QJsonParseError::NoError:
        break;
    }
    return "ungültiger Aufbau";
}

// Where the reader met the error. For an unexpected token Qt has already read past its first
// character; the place shown is that character.
size_t ErrorOffset(std::string_view text, const QJsonParseError& error) {
    size_t offset = std::min(static_cast<size_t>(std::max(error.offset, 0)), text.size());
    switch (error.error) {
    case QJsonParseError::UnterminatedObject:
    case QJsonParseError::MissingNameSeparator:
    case QJsonParseError::UnterminatedArray:
    case QJsonParseError::MissingValueSeparator:
    case QJsonParseError::IllegalValue:
    case QJsonParseError::MissingObject:
        if (offset > 0) {
            --offset;
        }
        while (offset > 0 && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) {
            --offset;
        }
        break;
    default:
        break;
    }
    return offset;
}

// Line and column (counting characters, not bytes) of a byte offset, both from 1.
std::pair<int, int> LineAndColumn(std::string_view text, size_t offset) {
    offset = std::min(offset, text.size());
    int line = 1;
    int column = 1;
    for (size_t i = 0; i < offset; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            ++line;
            column = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

// Reads the values of one JSON object, naming its place in every error.
class ObjectReader {
public:
    ObjectReader(const QJsonValue& value, std::string place) : place_(std::move(place)) {
        if (!value.isObject()) {
            Fail("muss ein Objekt {...} sein");
        }
        object_ = value.toObject();
    }

    const std::string& Place() const { return place_; }

    [[noreturn]] void Fail(const std::string& reason) const {
        throw ProjectFormatError(0, 0, place_, reason);
    }

    // Every property must be one of these; "comment" is allowed everywhere for notes.
    void AllowOnly(std::initializer_list<const char*> names) const {
        for (const QString& key : object_.keys()) {
            const bool known =
                key == "comment" || std::any_of(names.begin(), names.end(),
                                                [&](const char* name) { return key == name; });
            if (!known) {
                Fail("unbekannte Eigenschaft " + Quoted(key.toStdString()));
            }
        }
    }

    bool Has(const char* name) const { return object_.contains(name); }

    QJsonValue Value(const char* name) const {
        if (!Has(name)) {
            Fail("Eigenschaft " + Quoted(name) + " fehlt");
        }
        return object_.value(name);
    }

    double Number(const char* name, double lowest, double highest) const {
        const QJsonValue value = Value(name);
        if (!value.isDouble()) {
            Fail(Quoted(name) + " muss eine Zahl sein");
        }
        const double number = value.toDouble();
        if (!(number >= lowest && number <= highest)) {
            Fail(Quoted(name) + " muss zwischen " + NumberText(lowest) + " und " +
                 NumberText(highest) + " liegen, ist " + NumberText(number));
        }
        return number;
    }

    double Number(const char* name, double lowest, double highest, double fallback) const {
        return Has(name) ? Number(name, lowest, highest) : fallback;
    }

    std::string Text(const char* name) const {
        const QJsonValue value = Value(name);
        if (!value.isString()) {
            Fail(Quoted(name) + " muss ein Text in \"...\" sein");
        }
        return value.toString().toStdString();
    }

    std::string Text(const char* name, const std::string& fallback) const {
        return Has(name) ? Text(name) : fallback;
    }

    std::string NonEmptyText(const char* name) const {
        std::string text = Text(name);
        if (text.empty()) {
            Fail(Quoted(name) + " darf nicht leer sein");
        }
        return text;
    }

    bool Flag(const char* name, bool fallback) const {
        if (!Has(name)) {
            return fallback;
        }
        const QJsonValue value = Value(name);
        if (!value.isBool()) {
            Fail(Quoted(name) + " muss true oder false sein");
        }
        return value.toBool();
    }

    QColor Color(const char* name, const QColor& fallback) const {
        if (!Has(name)) {
            return fallback;
        }
        const std::string text = Text(name);
        const bool wellFormed = text.size() == 7 && text[0] == '#' &&
                                std::all_of(text.begin() + 1, text.end(), [](char c) {
                                    return std::isxdigit(static_cast<unsigned char>(c));
                                });
        if (!wellFormed) {
            Fail(Quoted(name) + " muss eine Farbe wie \"#1a2b3c\" sein, ist " + Quoted(text));
        }
        return QColor(QString::fromStdString(text));
    }

    TextTemplate Template(const char* name) const {
        TemplateParse parsed = ParseTextTemplate(Text(name));
        if (!parsed.error.empty()) {
            Fail(Quoted(name) + ": " + parsed.error);
        }
        return std::move(parsed.pieces);
    }

    // One of the given words; the first when the property is absent.
    template <typename Enum>
    Enum Choice(const char* name, std::initializer_list<std::pair<const char*, Enum>> words) const {
        if (!Has(name)) {
            return words.begin()->second;
        }
        const std::string text = Text(name);
        std::string allowed;
        for (const auto& [word, choice] : words) {
            if (text == word) {
                return choice;
            }
            allowed += (allowed.empty() ? "" : ", ") + Quoted(word);
        }
        Fail(Quoted(name) + " muss " + allowed + " sein, ist " + Quoted(text));
    }

    QJsonArray Array(const char* name) const {
        const QJsonValue value = Value(name);
        if (!value.isArray()) {
            Fail(Quoted(name) + " muss eine Liste [...] sein");
        }
        return value.toArray();
    }

    const QJsonObject& Object() const { return object_; }

private:
    QJsonObject object_;
    std::string place_;
};

using StyleTable = std::vector<std::pair<std::string, TextStyle>>;

TextStyle ReadStyle(const QJsonValue& value, const std::string& name) {
    const ObjectReader style(value, "Stil " + Quoted(name));
    style.AllowOnly({"font", "size", "bold", "italic", "color"});
    TextStyle result;
    result.family = style.Text("font", "");
    result.points = style.Number("size", SmallestPoints, LargestPoints, result.points);
    result.bold = style.Flag("bold", false);
    result.italic = style.Flag("italic", false);
    result.color = style.Color("color", Qt::black);
    return result;
}

StyleTable ReadStyles(const ObjectReader& project) {
    StyleTable styles;
    if (!project.Has("styles")) {
        return styles;
    }
    const ObjectReader table(project.Value("styles"), "\"styles\"");
    for (const QString& name : table.Object().keys()) {
        if (name == "comment") {
            continue;
        }
        styles.emplace_back(name.toStdString(),
                            ReadStyle(table.Object().value(name), name.toStdString()));
    }
    return styles;
}

std::vector<std::string> ReadFontFiles(const ObjectReader& project) {
    std::vector<std::string> files;
    if (!project.Has("fonts")) {
        return files;
    }
    for (const QJsonValue& entry : project.Array("fonts")) {
        if (!entry.isString() || entry.toString().isEmpty()) {
            project.Fail("\"fonts\" muss eine Liste von Dateinamen in \"...\" sein");
        }
        files.push_back(entry.toString().toStdString());
    }
    return files;
}

PageSetup ReadPage(const ObjectReader& report) {
    PageSetup page;
    if (!report.Has("page")) {
        return page;
    }
    const ObjectReader reader(report.Value("page"), report.Place() + ", Seite");
    reader.AllowOnly({"size", "orientation", "width", "height", "margins"});
    if (reader.Has("size") && (reader.Has("width") || reader.Has("height"))) {
        reader.Fail("entweder \"size\" oder \"width\" und \"height\" angeben");
    }
    if (reader.Has("size")) {
        const std::string size = reader.Text("size");
        const auto* named = std::find_if(std::begin(PageSizes), std::end(PageSizes),
                                         [&](const NamedPageSize& s) { return size == s.name; });
        if (named == std::end(PageSizes)) {
            reader.Fail(
                "\"size\" muss \"A3\", \"A4\", \"A5\", \"Letter\" oder \"Legal\" sein, ist " +
                Quoted(size));
        }
        page.width = named->width;
        page.height = named->height;
    } else if (reader.Has("width") || reader.Has("height")) {
        page.width = reader.Number("width", SmallestPage, LargestPage);
        page.height = reader.Number("height", SmallestPage, LargestPage);
    }
    const bool landscape =
        reader.Choice<bool>("orientation", {{"portrait", false}, {"landscape", true}});
    if (landscape != (page.width > page.height)) {
        std::swap(page.width, page.height);
    }
    if (reader.Has("margins")) {
        const ObjectReader margins(reader.Value("margins"), report.Place() + ", Seitenränder");
        margins.AllowOnly({"left", "top", "right", "bottom"});
        page.marginLeft = margins.Number("left", 0, page.width, page.marginLeft);
        page.marginTop = margins.Number("top", 0, page.height, page.marginTop);
        page.marginRight = margins.Number("right", 0, page.width, page.marginRight);
        page.marginBottom = margins.Number("bottom", 0, page.height, page.marginBottom);
    }
    if (page.ContentWidth() < 1 || page.ContentHeight() < 1) {
        reader.Fail("die Ränder lassen keinen Platz auf der Seite");
    }
    return page;
}

// Reads the elements of one report against its content area.
class ElementReader {
public:
    ElementReader(const ObjectReader& element, const PageSetup& page, const StyleTable& styles)
        : element_(element), page_(page), styles_(styles) {}

    TextElement Text() const {
        element_.AllowOnly({"type", "x", "y", "width", "height", "text", "style", "align", "valign",
                            "wrap", "if", "unless"});
        TextElement text;
        text.box = Box();
        text.text = element_.Template("text");
        text.style = Style();
        text.align = element_.Choice<HorizontalAlign>("align", {{"left", HorizontalAlign::Left},
                                                                {"center", HorizontalAlign::Center},
                                                                {"right", HorizontalAlign::Right}});
        text.valign = element_.Choice<VerticalAlign>("valign", {{"top", VerticalAlign::Top},
                                                                {"middle", VerticalAlign::Middle},
                                                                {"bottom", VerticalAlign::Bottom}});
        text.wrap = element_.Flag("wrap", false);
        return text;
    }

    LineElement Line() const {
        element_.AllowOnly({"type", "x1", "y1", "x2", "y2", "thickness", "color", "if", "unless"});
        LineElement line;
        line.x1 = element_.Number("x1", 0, page_.ContentWidth());
        line.y1 = element_.Number("y1", 0, page_.ContentHeight());
        line.x2 = element_.Number("x2", 0, page_.ContentWidth());
        line.y2 = element_.Number("y2", 0, page_.ContentHeight());
        line.thickness = element_.Number("thickness", 0.01, ThickestLine, line.thickness);
        line.color = element_.Color("color", line.color);
        return line;
    }

    BoxElement Frame() const {
        element_.AllowOnly(
            {"type", "x", "y", "width", "height", "thickness", "color", "fill", "if", "unless"});
        BoxElement box;
        box.box = Box();
        box.thickness = element_.Number("thickness", 0, ThickestLine, box.thickness);
        box.color = element_.Color("color", box.color);
        if (element_.Has("fill")) {
            box.fill = element_.Color("fill", Qt::white);
        }
        return box;
    }

    ImageElement Image() const {
        element_.AllowOnly({"type", "x", "y", "width", "height", "file", "if", "unless"});
        ImageElement image;
        image.box = Box();
        image.file = element_.NonEmptyText("file");
        if (!QString::fromStdString(image.file).endsWith(".png", Qt::CaseInsensitive)) {
            element_.Fail("\"file\": nur PNG-Bilder (.png) werden unterstützt, nicht " +
                          Quoted(image.file));
        }
        return image;
    }

private:
    MmRect Box() const {
        MmRect box;
        box.x = element_.Number("x", 0, page_.ContentWidth());
        box.y = element_.Number("y", 0, page_.ContentHeight());
        box.width = element_.Number("width", 0.1, page_.ContentWidth());
        box.height = element_.Number("height", 0.1, page_.ContentHeight());
        if (box.x + box.width > page_.ContentWidth() + EdgeTolerance) {
            element_.Fail("\"x\" + \"width\" = " + NumberText(box.x + box.width) +
                          " mm ragt über den Inhaltsbereich hinaus (" +
                          NumberText(page_.ContentWidth()) + " mm breit)");
        }
        if (box.y + box.height > page_.ContentHeight() + EdgeTolerance) {
            element_.Fail("\"y\" + \"height\" = " + NumberText(box.y + box.height) +
                          " mm ragt über den Inhaltsbereich hinaus (" +
                          NumberText(page_.ContentHeight()) + " mm hoch)");
        }
        return box;
    }

    TextStyle Style() const {
        if (!element_.Has("style")) {
            return TextStyle{};
        }
        const std::string name = element_.Text("style");
        for (const auto& [styleName, style] : styles_) {
            if (styleName == name) {
                return style;
            }
        }
        element_.Fail("den Stil " + Quoted(name) + " gibt es unter \"styles\" nicht");
    }

    const ObjectReader& element_;
    const PageSetup& page_;
    const StyleTable& styles_;
};

ReportElement ReadElement(const QJsonValue& value, const std::string& place, const PageSetup& page,
                          const StyleTable& styles) {
    const ObjectReader element(value, place);
    const std::string type = element.Text("type");
    const ObjectReader typed(value, place + " (" + type + ")");
    const ElementReader reader(typed, page, styles);
    ReportElement result;
    if (type == "text") {
        result.shape = reader.Text();
    } else if (type == "line") {
        result.shape = reader.Line();
    } else if (type == "box") {
        result.shape = reader.Frame();
    } else if (type == "image") {
        result.shape = reader.Image();
    } else {
        element.Fail("\"type\" muss \"text\", \"line\", \"box\" oder \"image\" sein, ist " +
                     Quoted(type));
    }
    if (typed.Has("if")) {
        result.shownWhenFilled = typed.Template("if");
    }
    if (typed.Has("unless")) {
        result.shownWhenEmpty = typed.Template("unless");
    }
    return result;
}

ReportDefinition ReadReport(const QJsonValue& value, int index, const StyleTable& styles) {
    const ObjectReader first(value, "Bericht " + std::to_string(index + 1));
    const std::string name = first.NonEmptyText("name");
    const ObjectReader report(value, "Bericht " + Quoted(name));
    report.AllowOnly({"name", "title", "connection", "page", "elements"});
    ReportDefinition definition;
    definition.name = name;
    definition.title = report.Text("title", name);
    definition.connection = report.Text("connection", "");
    definition.page = ReadPage(report);
    const QJsonArray elements = report.Array("elements");
    for (int i = 0; i < elements.size(); ++i) {
        definition.elements.push_back(
            ReadElement(elements[i], report.Place() + ", Element " + std::to_string(i + 1),
                        definition.page, styles));
    }
    return definition;
}

ReportProjectData ReadProject(const QJsonDocument& document) {
    if (!document.isObject()) {
        throw ProjectFormatError(0, 0, "Projekt", "das Projekt muss ein Objekt {...} sein");
    }
    const ObjectReader project(document.object(), "Projekt");
    project.AllowOnly({"version", "fonts", "styles", "reports"});
    const double version = project.Number("version", 0, 1e9);
    if (version != SupportedVersion) {
        project.Fail("\"version\" " + NumberText(version) + " wird nicht unterstützt, nur " +
                     std::to_string(SupportedVersion));
    }
    ReportProjectData data;
    data.fontFiles = ReadFontFiles(project);
    const StyleTable styles = ReadStyles(project);
    const QJsonArray reports = project.Array("reports");
    for (int i = 0; i < reports.size(); ++i) {
        ReportDefinition report = ReadReport(reports[i], i, styles);
        if (data.FindReport(report.name)) {
            project.Fail("den Bericht " + Quoted(report.name) + " gibt es zweimal");
        }
        data.reports.push_back(std::move(report));
    }
    return data;
}

std::string_view WithoutByteOrderMark(std::string_view bytes) {
    constexpr std::string_view mark = "\xEF\xBB\xBF";
    if (bytes.substr(0, mark.size()) == mark) {
        bytes.remove_prefix(mark.size());
    }
    return bytes;
}

} // namespace

ProjectFormatError::ProjectFormatError(int line, int column, std::string place, std::string reason)
    : ReportError(line > 0 ? "Zeile " + std::to_string(line) + ", Spalte " +
                                 std::to_string(column) + ": " + reason
                           : place + ": " + reason),
      line_(line), column_(column), place_(std::move(place)), reason_(std::move(reason)) {}

const ReportDefinition* ReportProjectData::FindReport(const std::string& name) const {
    const auto found = std::find_if(reports.begin(), reports.end(), [&](const auto& report) {
        return SameName(report.name, name);
    });
    return found == reports.end() ? nullptr : &*found;
}

std::vector<std::string> ReportProjectData::ImageFiles() const {
    std::vector<std::string> files;
    for (const ReportDefinition& report : reports) {
        for (const ReportElement& element : report.elements) {
            const auto* image = std::get_if<ImageElement>(&element.shape);
            if (image && std::find(files.begin(), files.end(), image->file) == files.end()) {
                files.push_back(image->file);
            }
        }
    }
    return files;
}

ReportProjectData ParseReportProject(std::string_view bytes) {
    const std::string_view text = WithoutByteOrderMark(bytes);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        const auto [line, column] = LineAndColumn(text, ErrorOffset(text, error));
        throw ProjectFormatError(line, column, "", SyntaxErrorText(error.error));
    }
    return ReadProject(document);
}
