#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The desktop's services on the session bus as the tests need them, each on a connection of its own to the real bus
// the test runs under (dbus-run-session): they own the service's name and record what they are asked.

// The notification service: records every Notify, and clicks a notice's action as the desktop would.
class NotificationListener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notice {
        uint Id = 0;
        QString AppName;
        QString Icon;
        QString Summary;
        QString Body;
        QStringList Actions;
        QVariantMap Hints;
    };

    NotificationListener();
    ~NotificationListener() override;
    // Takes the service's name; false when the bus or the name is not to be had.
    bool Start();
    const QList<Notice> &Notices() const { return notices; }
    // The user clicks the action of the notice: its activation token, then the action, as services send them.
    void Click(uint id, const QString &action);

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout);
    QStringList GetCapabilities();
    void CloseNotification(uint id);

private:
    QDBusConnection bus;
    QList<Notice> notices;
};

// The file manager: records every ShowItems.
class FileManagerListener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    FileManagerListener();
    ~FileManagerListener() override;
    bool Start();
    // The addresses each ShowItems named.
    const QList<QStringList> &Shown() const { return shown; }

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId);

private:
    QDBusConnection bus;
    QList<QStringList> shown;
};
