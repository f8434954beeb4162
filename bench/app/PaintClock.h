#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QList>
#include <QObject>

// Notes the moment of every paint of the widgets it watches.
class PaintClock : public QObject {
public:
    explicit PaintClock(const QElapsedTimer &clock) : clock(clock) { }
    QList<qint64> paints;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            paints.append(clock.nsecsElapsed());
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &clock;
};
