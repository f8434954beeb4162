#pragma once

#include "DC.h"
#include "Windows1251.h"

#include <QStringList>

using namespace Qt::StringLiterals;

// Writes down every signal of a DC in order, one line each, so a test can compare whole sequences.
// With followRedirects it also plays the main window's part: a redirect's address is set as the new URL.
class DCRecorder : public QObject {
    Q_OBJECT

public:
    explicit DCRecorder(DC &dc, bool followRedirects = false) : dc(dc), followRedirects(followRedirects)
    {
        connect(&dc, &DC::DownOK, this, &DCRecorder::OnDownOK);
        connect(&dc, &DC::Redirected, this, &DCRecorder::OnRedirected);
        connect(&dc, &DC::Msg, this, [this](const QString &text) { events << u"Msg:"_s + text; });
        connect(&dc, &DC::PercentOfLoad, this, [this](int perc) { events << u"Percent:"_s + QString::number(perc); });
        connect(&dc, &DC::FLVsize, this, [this](qint64 size) { events << u"Size:"_s + QString::number(size); });
        connect(&dc, &DC::DownError, this, [this](const QString &text) { events << u"Error:"_s + text; });
        connect(&dc, &DC::ServerLine, this, [this](const QString &text) { events << u"Server:"_s + text; });
    }

    // True once the transfer has ended one way or the other (a followed redirect is no end).
    bool Ended() const
    {
        for (const QString &event : events) {
            if (event.startsWith(u"Error:") || (event.startsWith(u"OK:") && !event.startsWith(u"OK:redirect ")))
                return true;
        }
        return false;
    }

    QStringList events;
    QByteArray body;

private:
    void OnRedirected(const QByteArray &address)
    {
        events << u"OK:redirect "_s + Windows1251::Decode(address);
        if (followRedirects) {
            dc.setURLmode(true);
            dc.setURL(Windows1251::Decode(address));
        }
    }

    void OnDownOK(const QByteArray &data)
    {
        body = data;
        events << (data.size() <= 64 ? u"OK:"_s + QString::fromLatin1(data)
                                     : QStringLiteral("OK:<%1 bytes>").arg(data.size()));
    }

    DC &dc;
    bool followRedirects;
};
