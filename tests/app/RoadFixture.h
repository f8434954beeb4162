#pragma once

#include "Main.h"
#include "RealPeers.h"
#include "ScriptedDialogs.h"
#include "ScriptedServer.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What the window showed at each event of its transfer control, taken right after the window handled it.
struct Shown {
    QString event;
    QString label1;
    QString label4;
    QString labelSize;
    QString percLabel;
    bool picture1 = false;
    bool imagPr = false;
    int barTwips = 0;
    QString title;
};

// The whole road on loopback: a scripted resolution service, a scripted update server, the video served
// by Python's http.server, a program folder of its own, and either the real window, offscreen (Open), or the
// download flow alone (OpenFlow), whose reports stand in for what the window would show.
class RoadFixture {
public:
    RoadFixture();
    ~RoadFixture();

    // Starts the peers; the video is made of size bytes beginning with "FLV".
    bool Start(int videoSize = 3 * 1024 * 1024 + 77);
    QString Error() const { return error; }

    // options.ini with the hosts of the peers, no proxy, and the given lines after them.
    void WriteOptions(const QByteArray &more = {});
    void Open();
    void OpenFlow();
    // The flow of the window or the one opened alone.
    DownloadFlow &Flow();

    // http://127.0.0.1:port/name on the video server.
    QString VideoAddress(const QString &name = QStringLiteral("video.flv")) const;
    // A resolution answer holding the marker and the link.
    static QByteArray AnswerWithLink(const QString &link);
    static QByteArray HttpOk(const QByteArray &body, const QByteArray &type = "text/html");
    // The resolution service answers once with this answer.
    void ResolverAnswers(const QByteArray &httpAnswer);

    // Types the address, presses the download button (or runs the flow alone).
    void Download(const QString &pageAddress = QStringLiteral("http://videos.example/watch?v=quillon"));
    // Waits until the run has ended: the panel is idle again.
    bool WaitIdle(int milliseconds = 30000);
    // The status line and the server line: the window's labels, or the flow's last report on each.
    QString Label1() const;
    QString Label4() const;
    // The last video saved; "" when none was.
    QString SavedVideo() const;

    QTemporaryDir program;
    QTemporaryDir site;
    ScriptedServer resolver;
    ScriptedServer update;
    PythonHttpServer video;
    ScriptedDialogs dialogs;
    std::unique_ptr<Main> window;
    QByteArray served;
    QList<Shown> shown;

private:
    void Record(const QString &event);
    QString error;

    // The flow opened alone, and what it reported.
    std::unique_ptr<DownloadFlow> flow;
    QString status;
    QString serverLine;
    QString saved;
    bool ended = false;
};
