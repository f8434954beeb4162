#include "QtInteraction.h"

#include "OpenFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <QUrl>

QString QtInteraction::ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                                      const QString &title, quint32 flags, const QString &fileName)
{
    return OpenFile::ShowFileDialog(owner, mode, filter, folder, title, flags, fileName);
}

QString QtInteraction::ChooseFolder(QWidget *owner, const QString &folder, const QString &title)
{
    return OpenFile::ShowFolderDialog(owner, folder, title);
}

// The seam's buttons and icons carry Qt's own values.
static_assert(int(MessageButton::Ok) == QMessageBox::Ok && int(MessageButton::Yes) == QMessageBox::Yes
              && int(MessageButton::No) == QMessageBox::No && int(MessageButton::Cancel) == QMessageBox::Cancel
              && int(MessageButton::NoButton) == QMessageBox::NoButton);
static_assert(int(MessageIcon::NoIcon) == QMessageBox::NoIcon
              && int(MessageIcon::Information) == QMessageBox::Information
              && int(MessageIcon::Warning) == QMessageBox::Warning
              && int(MessageIcon::Critical) == QMessageBox::Critical
              && int(MessageIcon::Question) == QMessageBox::Question);

MessageButton QtInteraction::ShowMessage(QWidget *owner, const QString &text, const QString &title,
                                         MessageButtons buttons, MessageIcon icon)
{
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), title, text,
                    QMessageBox::StandardButtons::fromInt(buttons.toInt()), owner);
    if (const MessageButton enter = EnterButton(buttons, icon); enter != MessageButton::NoButton)
        box.setDefaultButton(static_cast<QMessageBox::StandardButton>(enter));
    return static_cast<MessageButton>(box.exec());
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
