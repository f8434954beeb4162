#pragma once

#include <QWidget>

// The program's logo, 176 x 38 pixels, painted in code so it stays sharp at every scale: a quill and the
// program's name. Its top-left corner leaves room for the About window's
// two blinking dots, which fall from the quill like drops of ink.
class LogoPicture : public QWidget {
    Q_OBJECT

public:
    LogoPicture(const QString &name, QPoint at, QWidget *parent);

    static constexpr QSize kLogoSize{176, 38};

protected:
    void paintEvent(QPaintEvent *event) override;
};
