#include "RoadFixture.h"

#include "PictureBox.h"
#include "ResolutionAnswer.h"
#include "XpB.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

RoadFixture::RoadFixture() = default;

RoadFixture::~RoadFixture()
{
    window.reset();
    flow.reset();
}

bool RoadFixture::Start(int videoSize)
{
    served = QByteArray("FLV\x01\x05\x00\x00\x00\x09", 9);
    served.reserve(videoSize);
    quint32 state = 12345;
    while (served.size() < videoSize) {
        state = state * 1664525u + 1013904223u;
        served.append(static_cast<char>(state >> 24));
    }
    QFile file(site.filePath(QStringLiteral("video.flv")));
    if (!file.open(QIODevice::WriteOnly) || file.write(served) != served.size()) {
        error = QStringLiteral("cannot write the video");
        return false;
    }
    file.close();
    if (!resolver.Listen() || !update.Listen()) {
        error = QStringLiteral("scripted servers cannot listen");
        return false;
    }
    if (!video.Start(site.path())) {
        error = video.Error();
        return false;
    }
    return true;
}

void RoadFixture::WriteOptions(const QByteArray &more)
{
    QFile file(program.filePath(QStringLiteral("options.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Network]\r\nUseProxy=0\r\n[Hosts]\r\nResolver=" + resolver.HostAndPort().toLatin1()
               + "\r\nUpdate=" + update.HostAndPort().toLatin1() + "\r\nWebSite=site.test:8080\r\n" + more);
}

void RoadFixture::Open()
{
    window = std::make_unique<Main>(program.path(), dialogs);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    DC &dc = window->Flow().Transfer();
    QObject::connect(&dc, &DC::Msg, window.get(), [this] { Record(QStringLiteral("Msg")); });
    QObject::connect(&dc, &DC::FLVsize, window.get(),
                     [this](qint64 size) { Record(QStringLiteral("FLVsize %1").arg(size)); });
    QObject::connect(&dc, &DC::PercentOfLoad, window.get(),
                     [this](int perc) { Record(QStringLiteral("PercentOfLoad %1").arg(perc)); });
    QObject::connect(&dc, &DC::ServerLine, window.get(), [this] { Record(QStringLiteral("ServerLine")); });
    QObject::connect(&dc, &DC::DownError, window.get(), [this] { Record(QStringLiteral("DownError")); });
    for (auto signal : {&DC::DownOK, &DC::Redirected})
        QObject::connect(&dc, signal, window.get(),
                         [this] { Record(QStringLiteral("DownOK %1").arg(int(window->Flow().Stage()))); });
    XpB *zag = window->findChild<XpB *>(QStringLiteral("ZagButton"));
    QTest::mouseClick(zag, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
}

void RoadFixture::OpenFlow()
{
    flow = std::make_unique<DownloadFlow>(program.path(), dialogs);
    flow->Load();
    QObject::connect(flow.get(), &DownloadFlow::Msg, [this](const QString &text) { status = text; });
    QObject::connect(flow.get(), &DownloadFlow::ServerLine, [this](const QString &text) { serverLine = text; });
    QObject::connect(flow.get(), &DownloadFlow::VideoSaved, [this](const QString &path) { saved = path; });
    // The window clears its server line when it turns idle.
    QObject::connect(flow.get(), &DownloadFlow::Ended, [this] {
        ended = true;
        serverLine.clear();
    });
}

DownloadFlow &RoadFixture::Flow()
{
    return window ? window->Flow() : *flow;
}

QString RoadFixture::VideoAddress(const QString &name) const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(video.Port()) + name;
}

QByteArray RoadFixture::AnswerWithLink(const QString &link)
{
    return "<html><body><p>" + ResolutionAnswer::Marker().toByteArray() + " "
        + QStringLiteral("сохранить видео:").toUtf8() + "</p><a href=\"" + link.toUtf8()
        + "\">video.flv</a></body></html>";
}

QByteArray RoadFixture::HttpOk(const QByteArray &body, const QByteArray &type)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\n\r\n" + body;
}

void RoadFixture::ResolverAnswers(const QByteArray &httpAnswer)
{
    resolver.AddScript({ScriptedServer::Send(httpAnswer), ScriptedServer::Close()});
}

void RoadFixture::Download(const QString &pageAddress)
{
    if (flow) {
        ended = false;
        flow->Download(pageAddress);
        return;
    }
    auto *address = window->findChild<QLineEdit *>(QStringLiteral("URLtext"));
    address->setText(pageAddress);
    XpB *down = window->findChild<XpB *>(QStringLiteral("DownButton"));
    QVERIFY(down->isVisibleTo(window.get()));
    QTest::mouseClick(down, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
}

bool RoadFixture::WaitIdle(int milliseconds)
{
    if (flow)
        return QTest::qWaitFor([this] { return ended; }, milliseconds);
    XpB *down = window->findChild<XpB *>(QStringLiteral("DownButton"));
    return QTest::qWaitFor([down] { return down->isVisible(); }, milliseconds);
}

QString RoadFixture::Label1() const
{
    if (flow)
        return status;
    return window->findChild<QLabel *>(QStringLiteral("Label1"))->text();
}

QString RoadFixture::Label4() const
{
    if (flow)
        return serverLine;
    return window->findChild<QLabel *>(QStringLiteral("Label4"))->text();
}

QString RoadFixture::SavedVideo() const
{
    return flow ? saved : window->LastVideoFile();
}

void RoadFixture::Record(const QString &event)
{
    Shown now;
    now.event = event;
    now.label1 = Label1();
    now.label4 = Label4();
    now.title = window->windowTitle();
    now.labelSize = window->findChild<QLabel *>(QStringLiteral("LabelSize"))->text();
    now.percLabel = window->findChild<QLabel *>(QStringLiteral("PercLabel"))->text();
    now.picture1 = window->findChild<QWidget *>(QStringLiteral("Picture1"))->isVisibleTo(window.get());
    auto *bar = window->findChild<ProgressBar *>(QStringLiteral("ImagPr"));
    now.imagPr = bar->isVisibleTo(window.get());
    now.barTwips = bar->WidthTwips();
    shown.append(now);
}
