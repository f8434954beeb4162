#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// The pages the service answers with. The program takes a page as a success when it holds the words
// "Нажмите, чтобы" and then reads the first href=" + "http" link up to the next double quote, decoding
// character references; so the found page puts nothing link-like before the first candidate, and every
// address is escaped.
namespace AnswerPages {

QString EscapeHtml(const QString &text);

QByteArray ComposeFoundPage(const QList<QUrl> &videos);

// A page without the words the program looks for, saying why in Russian.
QByteArray ComposeFailurePage(const QString &reason);

QByteArray ComposeIndexPage(const QString &version);

}  // namespace AnswerPages
