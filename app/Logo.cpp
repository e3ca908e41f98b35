#include "app/Logo.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int LogoWidth = 95;
constexpr int LogoHeight = 74;
const QColor InkBlue(22, 52, 110);
const QColor CaptionGrey(110, 110, 110);

void drawHeart(QPainter& painter, const QRectF& box) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(HeartRed);
    painter.drawPath(HeartPath(box));
}

void drawPulseCurve(QPainter& painter, double baseline) {
    const QPointF points[] = {{3, baseline},      {40, baseline},     {45, baseline - 3},
                              {49, baseline},     {53, baseline + 5}, {58, baseline - 17},
                              {63, baseline + 9}, {67, baseline},     {73, baseline - 4},
                              {79, baseline},     {92, baseline}};
    painter.setPen(QPen(HeartRed, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(points, static_cast<int>(std::size(points)));
}

void drawText(QPainter& painter, const QRect& box, int pixelSize, bool bold, const QColor& colour,
              const QString& text, Qt::Alignment alignment) {
    QFont font("Arial");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, static_cast<int>(alignment), text);
}

} // namespace

QPainterPath HeartPath(const QRectF& box) {
    const double w = box.width();
    const double h = box.height();
    const double x = box.left();
    const double y = box.top();
    QPainterPath heart;
    heart.moveTo(x + w / 2, y + h);
    heart.cubicTo(x - w * 0.05, y + h * 0.55, x + w * 0.05, y - h * 0.05, x + w / 2, y + h * 0.28);
    heart.cubicTo(x + w * 0.95, y - h * 0.05, x + w * 1.05, y + h * 0.55, x + w / 2, y + h);
    return heart;
}

QPixmap MakeLogoPixmap() {
    QImage image(LogoWidth, LogoHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawHeart(painter, QRectF(4, 5, 30, 27));
    drawText(painter, QRect(36, 0, 58, 36), 26, true, InkBlue, "lirn",
             Qt::AlignLeft | Qt::AlignVCenter);
    drawPulseCurve(painter, 50);
    drawText(painter, QRect(0, 58, LogoWidth, 15), 11, true, CaptionGrey, "Q U A R N",
             Qt::AlignHCenter | Qt::AlignVCenter);
    painter.end();
    return QPixmap::fromImage(image);
}
