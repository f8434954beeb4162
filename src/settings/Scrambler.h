#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The pieces of the password scrambling, on Windows-1251 codes. A scrambled text is the password with every
// code raised by a key K (1..128) plus the permissions, followed by one character with the code K; it is
// one byte longer than the password.

inline constexpr int kLowestKey = 1;
inline constexpr int kHighestKey = 128;

// The scrambled text for one key, or "" when some code would go above 255 (the key character alone for an
// empty password).
QByteArray ScrambleWithKey(QByteArrayView plain, int key, int permissions);

// The keys that give a text the settings file keeps: every code fits, the whole text reads back from the
// file unchanged (no blanks at its ends, no line breaks, no quotes that pair up, not cut for length) and
// unscrambles to the password. Among them, those that turn no password character into a double quote; only
// when there are none, those that do. In ascending order.
QList<int> UsableKeys(QByteArrayView plain, int permissions);

// Why UsableKeys found nothing for this password, for the user to read; begins with a blank so it can
// follow a heading's colon.
QString DescribeUnusablePassword(const QString &plain, int permissions);

// The codes of the password, each lowered by key; "" as soon as one would drop below 1. The last byte of
// the scrambled text (the key character) is not part of scrambled here.
QByteArray UnscrambleWithKey(QByteArrayView scrambled, int key);
