#pragma once

#include <QString>
#include <QUrl>

// One download in a process of its own, so that its peak memory is its own and not that of curl or of an
// earlier run. The figures go to standard output as "name=value" lines for the parent to read.
//   client: "dc" (the program's transfer control) or a bare QTcpSocket reference: "raw-readall", or
//           "raw-direct" optionally followed by "-cap" (1 MiB per arrival) and "-huge" (huge pages for the body)
//   targetDir: where the body is then saved, through a temporary file and a rename
int RunTransferChild(const QString &client, const QUrl &url, const QString &targetDir);
