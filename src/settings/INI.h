#pragma once

#include "IniNumber.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// One entry to be written: section, key and value, as bytes.
struct IniEntry {
    QByteArray Section;
    QByteArray KeyName;
    QByteArray KeyValue;
    // Written only when the file does not hold the key yet: a value the writer has not changed, which
    // another program may have changed in the file meanwhile.
    bool OnlyWhenAbsent = false;
};

// The settings store: single values of one INI file. It keeps no copy of the file; every read goes to the
// file and every write replaces the file at once, so a value written is seen by the next read. A write re-reads
// the file under a lock and changes only its own values, so that other programs' changes stay. Values are
// bytes, taken and given back as they are; what they mean (UTF-8 text, a scrambled password) is the
// caller's business. The file is read as the Windows INI functions read it (see IniText.h).
//
// Reads never fail: an absent file, section or key reads as "", and so does a file that is not read at all (see
// ReadProblem). Writes tell whether the file now holds the value, and WriteError() says why not.
class INI {
public:
    // Full path of the file; set once before the first access. Empty: reads give "" and writes fail.
    QString FileName() const;
    void FileName(const QString &FName);
    // On, a write first makes the file's folder when it is missing (see MakeOwnerFolder); off, as at first, a
    // missing folder fails the write.
    void MakeFolderOnWrite(bool make);

    // Why the file is not read, as it stands now: it is no regular file (a FIFO, a device, a folder), it is far
    // too long for a settings file, or it cannot be read. "" when it is read, or when there is none.
    QString ReadProblem() const;

    QByteArray RINI(QByteArrayView Section, QByteArrayView KeyName) const;
    bool WInI(QByteArrayView Section, QByteArrayView KeyName, QByteArrayView KeyValue);

    // True only for the stored text "True", exactly.
    bool RINIb(QByteArrayView Section, QByteArrayView KeyName) const;
    // Writes "True" or "False".
    bool WInIb(QByteArrayView Section, QByteArrayView KeyName, bool KeyValue);

    // The leading number of the stored text, rounded halves to even; throws IniOverflow outside the 16-bit
    // range.
    qint16 RINIi(QByteArrayView Section, QByteArrayView KeyName) const;
    bool WInIi(QByteArrayView Section, QByteArrayView KeyName, qint16 KeyValue);

    // Several values in one replacement of the file: either all of them reach it or none does. Each is
    // placed as WInI would place it, in the order given.
    bool WriteEntries(const QList<IniEntry> &entries);

    // Why the last failed write failed; "" before any failure.
    QString WriteError() const;

private:
    QString fileName;
    bool makeFolder = false;
    QString writeError;
};
