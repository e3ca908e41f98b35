#include "app/Icon.h"

#include "app/Logo.h"

#include <QPainter>
#include <QPointF>
#include <QString>
#include <algorithm>
#include <array>

namespace {

// The drawing on a square of this many units.
constexpr double Units = 256;
constexpr double PulseWidth = 14;
// Below this many pixels a small icon's pulse curve would fade into the red.
constexpr double ThinnestPulsePixels = 1.6;
const QRectF HeartBox(12, 24, 232, 212);
constexpr std::array<QPointF, 11> PulsePoints = {{{34, 126},
                                                  {92, 126},
                                                  {104, 112},
                                                  {114, 126},
                                                  {124, 148},
                                                  {138, 66},
                                                  {152, 172},
                                                  {164, 126},
                                                  {178, 114},
                                                  {190, 126},
                                                  {222, 126}}};

QString Number(double value) {
    return QString::number(value, 'f', 2);
}

QString Point(const QPointF& point) {
    return Number(point.x()) + ' ' + Number(point.y());
}

QString SvgPathData(const QPainterPath& path) {
    QString data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo()) {
            data += "M " + Point(element) + ' ';
        } else if (element.isLineTo()) {
            data += "L " + Point(element) + ' ';
        } else if (element.isCurveTo()) {
            data += "C " + Point(element) + ' ' + Point(path.elementAt(i + 1)) + ' ' +
                    Point(path.elementAt(i + 2)) + ' ';
            i += 2;
        }
    }
    return data + 'Z';
}

QString SvgPoints() {
    QString points;
    for (const QPointF& point : PulsePoints) {
        points += (points.isEmpty() ? "" : " ") + Number(point.x()) + ',' + Number(point.y());
    }
    return points;
}

} // namespace

QImage MakeIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / Units, size / Units);
    painter.setPen(Qt::NoPen);
    painter.setBrush(HeartRed);
    painter.drawPath(HeartPath(HeartBox));
    const double pulseWidth = std::max(PulseWidth, ThinnestPulsePixels * Units / size);
    painter.setPen(QPen(Qt::white, pulseWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(PulsePoints.data(), static_cast<int>(PulsePoints.size()));
    painter.end();
    return image;
}

std::string MakeIconSvg() {
    const QString svg =
        QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                "viewBox=\"0 0 %1 %1\">\n"
                "  <path fill=\"%2\" d=\"%3\"/>\n"
                "  <polyline fill=\"none\" stroke=\"#ffffff\" stroke-width=\"%4\" "
                "stroke-linecap=\"round\" stroke-linejoin=\"round\" points=\"%5\"/>\n"
                "</svg>\n")
            .arg(Units)
            .arg(HeartRed.name(), SvgPathData(HeartPath(HeartBox)), Number(PulseWidth),
                 SvgPoints());
    return svg.toStdString();
}
