#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The whole content of a file, or "<unreadable>" (which no test writes), so a comparison names the failure.
inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
