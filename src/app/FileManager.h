#pragma once

#include <QDBusConnection>
#include <QString>

class QObject;

// Shows the file in the desktop's file manager, selected in its folder: the file manager's ShowItems
// (org.freedesktop.FileManager1 on the session bus, which Nautilus, Dolphin, Nemo, Caja, Thunar and PCManFM answer).
// Where no file manager answers there, the folder is opened as the desktop opens folders. The call does not wait:
// the answer comes to context's thread, and nothing happens after context is gone.
void ShowInFileManager(const QString &path, QObject *context,
                       const QDBusConnection &bus = QDBusConnection::sessionBus());
