#include "DownloadNotices.h"

#include "FileManager.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The keys of the actions; the notice's own click is "default" to every service.
const QString kDefaultAction = QStringLiteral("default");
const QString kOpenAction = QStringLiteral("open");
const QString kFolderAction = QStringLiteral("folder");

// Most services read the body as a little markup: a name with "&" or "<" is shown as it is.
QString BodyText(const QString &text)
{
    return text.toHtmlEscaped();
}

}  // namespace

DownloadNotices::DownloadNotices(const QDBusConnection &bus, QObject *parent) : QObject(parent), bus(bus)
{
    this->bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(Notifications_ActionInvoked(uint, QString)));
    this->bus.connect(kService, kPath, kInterface, QStringLiteral("ActivationToken"), this,
                      SLOT(Notifications_ActivationToken(uint, QString)));
    this->bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                      SLOT(Notifications_NotificationClosed(uint, uint)));
}

void DownloadNotices::TellSaved(const QString &path)
{
    Send(QStringLiteral("Видео сохранено"), BodyText(QFileInfo(path).fileName()),
         {kDefaultAction, QStringLiteral("Quillon"), kOpenAction, QStringLiteral("Открыть"), kFolderAction,
          QStringLiteral("Показать в папке")},
         QStringLiteral("transfer.complete"), path);
}

void DownloadNotices::TellFailed(const QString &reason)
{
    Send(QStringLiteral("Видео не загружено"), BodyText(reason), {kDefaultAction, QStringLiteral("Quillon")},
         QStringLiteral("transfer.error"), QString());
}

void DownloadNotices::Send(const QString &summary, const QString &body, const QStringList &actions,
                           const QString &category, const QString &path)
{
    if (!bus.isConnected())
        return;
    QVariantMap hints{{QStringLiteral("category"), category}};
    // The service shows the program's name and icon as its desktop entry gives them.
    if (const QString entry = QGuiApplication::desktopFileName(); !entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Quillon") << uint(0) << QStringLiteral("quillon") << summary << body << actions << hints
         << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path](QDBusPendingCallWatcher *answered) {
        const QDBusPendingReply<uint> reply = *answered;
        if (!reply.isError())
            shown.insert(reply.value(), path);
        answered->deleteLater();
    });
}

void DownloadNotices::Notifications_ActivationToken(uint id, const QString &token)
{
    // The service sends it just before the action: what the action opens, and the window, may come to the front on
    // a desktop that lets only the program the user turned to take the focus.
    if (shown.contains(id))
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}

void DownloadNotices::Notifications_ActionInvoked(uint id, const QString &action)
{
    const auto notice = shown.constFind(id);
    if (notice == shown.cend())
        return;
    const QString path = *notice;
    if (action == kOpenAction && !path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    else if (action == kFolderAction && !path.isEmpty())
        ShowInFileManager(path, this, bus);
    else if (action == kDefaultAction)
        emit WindowWanted();
}

void DownloadNotices::Notifications_NotificationClosed(uint id, uint)
{
    shown.remove(id);
}
