#pragma once

#include <QMessageBox>
#include <QString>
#include <QtGlobal>

class QWidget;

// Every modal step the program's windows take with the user or the desktop goes through this one seam: the
// program hands its windows the Qt implementation (QtInteraction), the tests a scripted one that records what
// was asked.
class Interaction {
public:
    virtual ~Interaction() = default;

    // The file dialog with the inputs of OpenFile::ShowFileDialog: mode 1 open, 2 save, anything else
    // shows nothing. The chosen path, or "" when the user cancels.
    virtual QString ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                                   const QString &title, quint32 flags, const QString &fileName) = 0;

    // A message box owned by owner; the button the user pressed.
    virtual QMessageBox::StandardButton ShowMessage(QWidget *owner, const QString &text, const QString &title,
                                                    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) = 0;

    // Opens a web address in the user's browser; nobody looks at whether it worked.
    virtual void OpenAddress(const QString &address) = 0;
};

// The button Enter presses in a message box: Yes, or OK, as users of the program know it; but in a warning that
// can be answered No (a question about losing a video) No, so that Enter pressed by habit never says yes to it.
inline QMessageBox::StandardButton EnterButton(QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    if (icon == QMessageBox::Warning && buttons.testFlag(QMessageBox::No))
        return QMessageBox::No;
    if (buttons.testFlag(QMessageBox::Yes))
        return QMessageBox::Yes;
    if (buttons.testFlag(QMessageBox::Ok))
        return QMessageBox::Ok;
    return QMessageBox::NoButton;
}
