#pragma once
// Keeps a window's outer position, size and state across runs in the settings store's
// FormsSection, one "Left,Top,Width,Height,State" text per form (object name).

#include <QSize>
#include <optional>

class QWidget;
class TSettings;

// Store nullptr means AppSettings; without either nothing is written.
void SaveFormPlacement(QWidget& form, TSettings* store = nullptr);
// True when a stored placement was found and applied. Screen defaults to the primary screen's
// full size; a position that does not fit is moved onto it.
bool RestoreFormPlacement(QWidget& form, TSettings* store = nullptr,
                          std::optional<QSize> screen = {});
