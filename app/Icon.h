#pragma once
// The program's icon for the desktop: the logo's heart with a white pulse curve across it.

#include <QImage>
#include <string>

// A square of size pixels, transparent around the heart.
QImage MakeIconImage(int size);

// The same drawing as SVG text, for the desktop's scalable icon.
std::string MakeIconSvg();
