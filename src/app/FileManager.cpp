#include "FileManager.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

// A file manager started by the bus for the call takes a moment; one that has not answered by then will not.
constexpr int kAnswerMilliseconds = 10000;

void OpenFolderOf(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

}  // namespace

void ShowInFileManager(const QString &path, QObject *context, const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return OpenFolderOf(path);
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // The startup id lets the file manager's window come to the front; the desktop gives the program none to pass on.
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerMilliseconds), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [path](QDBusPendingCallWatcher *answered) {
        if (answered->isError())
            OpenFolderOf(path);
        answered->deleteLater();
    });
}
