#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

// Desktop notifications of downloads that end while nobody looks at the window, through the desktop's notification
// service (org.freedesktop.Notifications on the session bus). A saved video's notice offers "Открыть" (the video in
// the desktop's program for it) and "Показать в папке" (the file manager); a click on the notice itself asks for the
// window. A desktop without the service shows nothing, and nothing waits for it.
class DownloadNotices : public QObject {
    Q_OBJECT

public:
    explicit DownloadNotices(const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    void TellSaved(const QString &path);
    void TellFailed(const QString &reason);

signals:
    // The user clicked a notice: the window is to come to the front.
    void WindowWanted();

private slots:
    // The service's signals, for every program's notices: only ours are answered.
    void Notifications_ActionInvoked(uint id, const QString &action);
    void Notifications_ActivationToken(uint id, const QString &token);
    void Notifications_NotificationClosed(uint id, uint reason);

private:
    // path: the saved video the notice's actions work on; "" for none.
    void Send(const QString &summary, const QString &body, const QStringList &actions, const QString &category,
              const QString &path);

    QDBusConnection bus;
    // The notices shown and not yet closed, each with its video.
    QHash<uint, QString> shown;
};
