#pragma once

#include <QtGlobal>

// Sends a file's bytes on to the disk while the file is being written, and keeps those still waiting for the disk
// to a few tens of MiB. Left to itself, the system starts writing a file out only after 30 s or once a tenth of the
// memory waits for the disk: a file of a few GiB would be written whole by the sync at its end, while the user
// waits. Here the disk works while the bytes come, memory never fills with bytes waiting for it, and a sync at the
// end has little left to do. The caller's thread waits for the disk at times: keep it off the window's thread.
class WriteBehind {
public:
    explicit WriteBehind(int file = -1) : descriptor(file) { }

    // bytes have just been written at offset: sends them on once a few MiB have gathered, and waits until the bytes
    // written more than a few tens of MiB before are on disk. Writes are taken in order; one elsewhere (the file
    // started over, or written again from an earlier point) starts the count afresh there, and what it leaves
    // behind waits for the final sync. errno of a failure the disk reported, or 0: a failure is reported here
    // once, and a later sync of the file no longer sees it, so it must count as a failed write.
    int SendOn(qint64 offset, qint64 bytes);
    // Sends on what has gathered, without waiting for it; no failure of the disk is taken from the file here, so
    // the final sync still reports it. errno of a failure, or 0.
    int SendRest();

private:
    int SyncRange(qint64 from, qint64 until, unsigned flags);

    int descriptor;
    // False once the system or the file system has shown it cannot do this; the final sync does it all then.
    bool able = true;
    // The end of the bytes written in order, of those sent on, and of those known to be on disk.
    qint64 written = 0;
    qint64 sent = 0;
    qint64 waited = 0;
};
