#pragma once
// TElidingLabel: a one-line label that cuts a text too long for its width with "…" and shows
// the whole text as its tool tip. text() stays the whole text, which the GDT export reads.

#include <QLabel>

class TElidingLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    // The text as drawn: the whole text, or its start and "…" where it does not fit.
    QString ShownText() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
