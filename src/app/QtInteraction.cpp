#include "QtInteraction.h"

#include "OpenFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QUrl>

QString QtInteraction::ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                                      const QString &title, quint32 flags, const QString &fileName)
{
    return OpenFile::ShowFileDialog(owner, mode, filter, folder, title, flags, fileName);
}

QMessageBox::StandardButton QtInteraction::ShowMessage(QWidget *owner, const QString &text, const QString &title,
                                                       QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    QMessageBox box(icon, title, text, buttons, owner);
    if (const QMessageBox::StandardButton enter = EnterButton(buttons, icon); enter != QMessageBox::NoButton)
        box.setDefaultButton(enter);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void QtInteraction::OpenAddress(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

bool UseRussianQtTexts()
{
    // Lives as long as the program: the application keeps only a pointer to it.
    static QTranslator qtTexts;
    if (!qtTexts.isEmpty())
        return true;
    if (!qtTexts.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&qtTexts);
}
