#pragma once
// The program's own logo for the picture in the main window's head panel.

#include <QPixmap>

// 95 x 74 pixels, transparent background: a heart, "lirn" and a pulse curve.
QPixmap MakeLogoPixmap();
