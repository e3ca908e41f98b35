#include "report/RvRenderPDF.h"

#include "platform/Errors.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {

constexpr double MillimetresPerInch = 25.4;
// A text that does not fit its box shrinks down to this share of its size before it is cut.
constexpr double SmallestShrink = 0.5;
constexpr double ShrinkStep = 0.92;

// Converts millimetres of the content area into the writer's device units.
class PageScale {
public:
    PageScale(const PageSetup& page, int resolution)
        : perMillimetre_(resolution / MillimetresPerInch), left_(page.marginLeft),
          top_(page.marginTop) {}

    double Length(double millimetres) const { return millimetres * perMillimetre_; }
    QPointF Point(double x, double y) const { return {Length(left_ + x), Length(top_ + y)}; }
    QRectF Rect(const MmRect& box) const {
        return {Point(box.x, box.y), QSizeF(Length(box.width), Length(box.height))};
    }

private:
    double perMillimetre_;
    double left_;
    double top_;
};

QFont FontOf(const TextStyle& style) {
    QFont font;
    if (!style.family.empty()) {
        font.setFamily(QString::fromStdString(style.family));
    }
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(style.points);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    return font;
}

int AlignmentFlags(const PlacedText& text) {
    int flags = 0;
    switch (text.align) {
    case HorizontalAlign::Left:
        flags |= Qt::AlignLeft;
        break;
    case HorizontalAlign::Center:
        flags |= Qt::AlignHCenter;
        break;
    case HorizontalAlign::Right:
        flags |= Qt::AlignRight;
        break;
    }
    switch (text.valign) {
    case VerticalAlign::Top:
        flags |= Qt::AlignTop;
        break;
    case VerticalAlign::Middle:
        flags |= Qt::AlignVCenter;
        break;
    case VerticalAlign::Bottom:
        flags |= Qt::AlignBottom;
        break;
    }
    return flags | (text.wrap ? Qt::TextWordWrap : 0);
}

bool Fits(const QFont& font, QPaintDevice& device, const QRectF& box, int flags,
          const QString& text) {
    const QRectF needed = QFontMetricsF(font, &device).boundingRect(box, flags, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}

// A long name or value shrinks until it fits its box; what still does not fit is cut off with
// "…" on a single line, and clipped at the box's edge otherwise.
void DrawText(QPainter& painter, const PageScale& scale, const PlacedText& placed) {
    const QRectF box = scale.Rect(placed.box);
    const int flags = AlignmentFlags(placed);
    QString text = QString::fromStdString(placed.text);
    QFont font = FontOf(placed.style);
    const double points = font.pointSizeF();
    double shrink = 1;
    while (!Fits(font, *painter.device(), box, flags, text) &&
           shrink * ShrinkStep >= SmallestShrink) {
        shrink *= ShrinkStep;
        font.setPointSizeF(points * shrink);
    }
    if (!placed.wrap && !text.contains('\n') && !Fits(font, *painter.device(), box, flags, text)) {
        text = QFontMetricsF(font, painter.device()).elidedText(text, Qt::ElideRight, box.width());
    }
    painter.setFont(font);
    painter.setPen(placed.style.color);
    painter.drawText(box, flags, text);
}

void DrawLine(QPainter& painter, const PageScale& scale, const LineElement& line) {
    painter.setPen(QPen(line.color, scale.Length(line.thickness), Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(scale.Point(line.x1, line.y1), scale.Point(line.x2, line.y2));
}

void DrawBox(QPainter& painter, const PageScale& scale, const BoxElement& box) {
    if (box.thickness > 0) {
        painter.setPen(QPen(box.color, scale.Length(box.thickness), Qt::SolidLine, Qt::SquareCap,
                            Qt::MiterJoin));
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.setBrush(box.fill ? QBrush(*box.fill) : QBrush(Qt::NoBrush));
    painter.drawRect(scale.Rect(box.box));
    painter.setBrush(Qt::NoBrush);
}

// The picture as large as its box allows, proportions kept, centred.
void DrawImage(QPainter& painter, const PageScale& scale, const PlacedImage& placed) {
    if (placed.image.isNull()) {
        return;
    }
    const QRectF box = scale.Rect(placed.box);
    QSizeF size = placed.image.size();
    size.scale(box.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), size);
    target.moveCenter(box.center());
    // In PDF/A-1 mode Qt lays transparent pixels on white, as the form allows no soft masks.
    painter.drawImage(target, placed.image);
}

void DrawItem(QPainter& painter, const PageScale& scale, const PlacedItem& item) {
    if (const auto* text = std::get_if<PlacedText>(&item)) {
        DrawText(painter, scale, *text);
    } else if (const auto* line = std::get_if<LineElement>(&item)) {
        DrawLine(painter, scale, *line);
    } else if (const auto* box = std::get_if<BoxElement>(&item)) {
        DrawBox(painter, scale, *box);
    } else {
        DrawImage(painter, scale, std::get<PlacedImage>(item));
    }
}

} // namespace

std::string TRvRenderPDF::Render(const FilledDocument& document) const {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        writer.setTitle(QString::fromStdString(document.title));
        writer.setCreator(Creator);
        writer.setResolution(Resolution);
        writer.setPageSize(QPageSize(QSizeF(document.page.width, document.page.height),
                                     QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (!painter.begin(&writer)) {
            throw ReportError("Der Bericht \"" + document.title +
                              "\" kann nicht als PDF gezeichnet werden");
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const PageScale scale(document.page, Resolution);
        for (size_t i = 0; i < document.pages.size(); ++i) {
            if (i > 0) {
                writer.newPage();
            }
            for (const PlacedItem& item : document.pages[i].items) {
                DrawItem(painter, scale, item);
            }
        }
        painter.end();
    }
    return buffer.data().toStdString();
}
