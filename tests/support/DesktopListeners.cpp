#include "DesktopListeners.h"

#include <QDBusMessage>

namespace {

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");

// A connection of the listener's own: the program's calls reach it through the bus daemon, as they would reach
// another program.
QDBusConnection OwnConnection(const QString &name)
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

bool Own(QDBusConnection &bus, const QString &service, const QString &path, QObject *object)
{
    return bus.isConnected() && bus.registerObject(path, object, QDBusConnection::ExportAllSlots)
        && bus.registerService(service);
}

}  // namespace

NotificationListener::NotificationListener() : bus(OwnConnection(QStringLiteral("quillon-test-notifications")))
{
}

NotificationListener::~NotificationListener()
{
    bus.unregisterService(kNotifications);
    QDBusConnection::disconnectFromBus(bus.name());
}

bool NotificationListener::Start()
{
    return Own(bus, kNotifications, kNotificationsPath, this);
}

uint NotificationListener::Notify(const QString &appName, uint, const QString &appIcon, const QString &summary,
                                  const QString &body, const QStringList &actions, const QVariantMap &hints, int)
{
    notices.append(Notice{uint(notices.size() + 1), appName, appIcon, summary, body, actions, hints});
    return notices.last().Id;
}

QStringList NotificationListener::GetCapabilities()
{
    return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
}

void NotificationListener::CloseNotification(uint)
{
}

void NotificationListener::Click(uint id, const QString &action)
{
    const QString interface = kNotifications;
    bus.send(QDBusMessage::createSignal(kNotificationsPath, interface, QStringLiteral("ActivationToken"))
             << id << QStringLiteral("quillon-test-token"));
    bus.send(QDBusMessage::createSignal(kNotificationsPath, interface, QStringLiteral("ActionInvoked"))
             << id << action);
}

FileManagerListener::FileManagerListener() : bus(OwnConnection(QStringLiteral("quillon-test-file-manager")))
{
}

FileManagerListener::~FileManagerListener()
{
    bus.unregisterService(kFileManager);
    QDBusConnection::disconnectFromBus(bus.name());
}

bool FileManagerListener::Start()
{
    return Own(bus, kFileManager, QStringLiteral("/org/freedesktop/FileManager1"), this);
}

void FileManagerListener::ShowItems(const QStringList &uris, const QString &)
{
    shown.append(uris);
}
