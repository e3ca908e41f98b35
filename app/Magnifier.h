#pragma once
// The picture of the settings dialog's browse buttons, drawn by our own code.

#include <QPixmap>

// 16 x 16 pixels, transparent background: a magnifying glass, handle to the lower right.
QPixmap MakeMagnifierPixmap();
