#pragma once

#include <QLabel>

// A label of one line for texts of any length (status texts, server names, the service's reasons): a text too
// long for its place is shown cut with "…", and whole in a tooltip. text() is always the whole text, which
// is also what a screen reader reads.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    ElidedLabel(const QString &name, const QString &text, QWidget *parent);

    // The text as the label paints it.
    QString ShownText() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect TextArea() const;
};
