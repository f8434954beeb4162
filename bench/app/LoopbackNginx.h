#pragma once

#include <QProcess>
#include <QString>

// nginx in the foreground on a free loopback port, serving one folder, configured in that folder.
class LoopbackNginx {
public:
    ~LoopbackNginx();
    bool Start(const QString &folder);
    quint16 Port() const { return port; }
    QString Error() const { return error; }

private:
    QProcess process;
    quint16 port = 0;
    QString error;
};
