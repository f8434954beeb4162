#pragma once

#include <QAbstractButton>

// The round button over the last frame once a video has run to its end.
class ReplayButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit ReplayButton(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
