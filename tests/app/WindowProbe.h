#pragma once

#include "Main.h"
#include "PictureBox.h"
#include "XpB.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>

// Finding a window's controls by their names, as a user's tools would.
template <typename T = QWidget> T *Control(QWidget &window, const char *name)
{
    T *control = window.findChild<T *>(QString::fromLatin1(name));
    if (!control)
        qFatal("The window %s has no control %s", qPrintable(window.objectName()), name);
    return control;
}

inline QString LabelText(Main &window, const char *name)
{
    return Control<QLabel>(window, name)->text();
}

// Shown on the screen, not only marked visible: its panel and the window are shown too.
inline bool Seen(Main &window, const char *name)
{
    return Control(window, name)->isVisibleTo(&window);
}

inline void Click(QWidget &window, const char *name)
{
    XpB *button = Control<XpB>(window, name);
    QVERIFY2(button->isVisibleTo(&window), name);
    QTest::mouseMove(button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(button->width() / 2, button->height() / 2));
}

// A window grab for looking at, when QUILLON_SCREENSHOTS names a folder.
inline void Screenshot(QWidget &window, const QString &name)
{
    const QString folder = qEnvironmentVariable("QUILLON_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    // On a real X display take what the display shows, window manager and all; offscreen, the widget's own.
    QPixmap picture;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && window.window()->screen()) {
        QCoreApplication::processEvents();
        picture = window.window()->screen()->grabWindow(window.window()->winId());
    } else {
        picture = window.grab();
    }
    picture.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}
