#pragma once

#include <QString>
#include <QUrl>

// One download in a process of its own, so that its peak memory is its own and not that of curl or of an
// earlier run. The figures go to standard output as "name=value" lines for the parent to read.
//   client: "dc" (the program's transfer control) or a bare QTcpSocket reference: "raw-readall",
//           "raw-discard" (keeps nothing: receiving alone), "raw-stream" (writes each piece to
//           saved-raw-stream.flv as it arrives, like curl -o), or
//           "raw-direct" optionally followed by "-cap" (1 MiB per arrival) and "-huge" (huge pages for the body)
//   targetDir: where the body is then saved as saved-CLIENT.flv
enum class Saving {
    None,
    Atomically,  // as the save flow does: a temporary file written in pieces, synced, then put in place
    WithoutSync,  // a temporary file and a rename, no sync: what curl -o is to be compared with
};
// pieceBytes: the body is written in pieces of this size; 0 writes it in one call.
int RunTransferChild(const QString &client, const QUrl &url, const QString &targetDir, Saving saving,
                     qint64 pieceBytes);
