#pragma once
// Controls the settings dialogs share, placed as the dialogs are designed.

#include <QPoint>
#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& geometry);
// The label's access key moves the focus to its buddy; its text decides its width.
QLabel* MakeAccessLabel(QWidget* parent, const char* name, const QString& text, QPoint topLeft,
                        QWidget* buddy);
