#include "Interaction.h"

#include "OpenFile.h"

#include <QDesktopServices>
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
    // A warning that asks is the one about losing a video: Enter pressed by habit must not say yes to it.
    if (icon == QMessageBox::Warning && buttons.testFlag(QMessageBox::No))
        box.setDefaultButton(QMessageBox::No);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void QtInteraction::OpenAddress(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}
