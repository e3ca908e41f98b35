#include "app/DialogControls.h"

#include <QLabel>
#include <QLineEdit>

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    return edit;
}

QLabel* MakeAccessLabel(QWidget* parent, const char* name, const QString& text, QPoint topLeft,
                        QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(topLeft);
    label->adjustSize();
    label->setBuddy(buddy);
    return label;
}
