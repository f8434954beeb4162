#pragma once

#include <QLabel>

// A label of one line for texts of any length (status texts, server names, the service's reasons): a text too
// long for its place is shown cut with "…", and whole in a tooltip. text() is always the whole text, which
// is also what a screen reader reads. A label may be let take a smaller letter first (setSmallestPixelSize), for
// a line whose end matters as much as its beginning.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    ElidedLabel(const QString &name, const QString &text, QWidget *parent);

    // The text as the label paints it, and the letter it paints it in.
    QString ShownText() const;
    QFont ShownFont() const;
    // A text too long in the label's own letter is shown in a smaller one, down to pixels, before it is cut;
    // 0 (the default) keeps the label's letter.
    void setSmallestPixelSize(int pixels);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect TextArea() const;
    QString ShownText(const QFont &shown) const;

    int smallestPixelSize = 0;
};
