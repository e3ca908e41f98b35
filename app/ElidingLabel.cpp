#include "app/ElidingLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

QString TElidingLabel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

bool TElidingLabel::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QLabel::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    if (ShownText() != text()) {
        QToolTip::showText(help->globalPos(), text(), this);
    } else {
        QToolTip::hideText();
    }
    return true;
}

void TElidingLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}
