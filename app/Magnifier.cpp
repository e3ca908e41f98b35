#include "app/Magnifier.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>

namespace {

constexpr int MagnifierSize = 16;
const QColor RimDark(40, 40, 40);
const QColor GlassLight(235, 245, 255);
const QColor GlassBlue(150, 190, 230);
const QColor HandleBrown(120, 72, 30);

} // namespace

QPixmap MakeMagnifierPixmap() {
    QImage image(MagnifierSize, MagnifierSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(QPen(HandleBrown, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10.0, 10.0), QPointF(14.2, 14.2));

    const QRectF lens(1.0, 1.0, 10.0, 10.0);
    QRadialGradient glass(QPointF(4.5, 4.5), 6.0);
    glass.setColorAt(0.0, GlassLight);
    glass.setColorAt(1.0, GlassBlue);
    painter.setBrush(glass);
    painter.setPen(QPen(RimDark, 1.5));
    painter.drawEllipse(lens);
    painter.end();
    return QPixmap::fromImage(image);
}
