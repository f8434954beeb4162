#pragma once

#include "DC.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// What finds the videos: the engines the link-resolution service runs and their versions, asked of it
// (GET /engines) for the About window. A service that does not answer so, or is not there, says nothing.
class ServiceEngines : public QObject {
    Q_OBJECT

public:
    explicit ServiceEngines(QObject *parent = nullptr);

    // Asks the service at resolverHost (a host with an optional ":port", as the settings give it).
    void Ask(const QString &resolverHost);

    // "yt-dlp 2026.08.19, builtin 1.7" of the service's answer, the engine in use first; empty when the answer
    // names none.
    static QString ReadEngines(const QByteArray &answer);

signals:
    void Answered(const QString &engines);

private:
    DC dc;
};
