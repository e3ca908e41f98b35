#pragma once
// The program's own logo for the picture in the main window's head panel.

#include <QColor>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>

// The red of the logo's heart and pulse curve.
inline const QColor HeartRed(196, 30, 45);

// The logo's heart filling box, its point at the bottom.
QPainterPath HeartPath(const QRectF& box);

// 95 x 74 pixels, transparent background: a heart, "lirn" and a pulse curve.
QPixmap MakeLogoPixmap();
