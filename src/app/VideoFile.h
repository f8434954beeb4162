#pragma once

#include <QByteArrayView>
#include <QString>

// Writes bytes to a file so that the file either holds exactly them or is as it was: they go to a new
// file in the same folder first, reach the disk, and only then take the place of the old one.
// Returns "" on success, otherwise the system's reason.
QString WriteVideoFile(const QString &path, QByteArrayView bytes);
