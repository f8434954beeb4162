#pragma once

#include <QFlags>
#include <QString>
#include <QtGlobal>

class QWidget;

// The buttons a message box offers, and the one the user pressed. The values are Qt's own
// (QMessageBox::StandardButton), so the Qt implementation hands them on as they are; nothing here needs Qt Widgets.
enum class MessageButton : quint32 {
    NoButton = 0,
    Ok = 0x00000400,
    Yes = 0x00004000,
    No = 0x00010000,
    Cancel = 0x00400000,
};
using MessageButtons = QFlags<MessageButton>;
Q_DECLARE_OPERATORS_FOR_FLAGS(MessageButtons)

// The picture beside a message, with QMessageBox::Icon's values.
enum class MessageIcon { NoIcon = 0, Information = 1, Warning = 2, Critical = 3, Question = 4 };

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

    // The folder dialog, opened at folder: the chosen folder, or "" when the user cancels.
    virtual QString ChooseFolder(QWidget *owner, const QString &folder, const QString &title) = 0;

    // A message box owned by owner; the button the user pressed.
    virtual MessageButton ShowMessage(QWidget *owner, const QString &text, const QString &title, MessageButtons buttons,
                                      MessageIcon icon) = 0;

    // Opens a web address in the user's browser; nobody looks at whether it worked.
    virtual void OpenAddress(const QString &address) = 0;
};

// The button Enter presses in a message box: Yes, or OK, as users of the program know it; but in a warning that
// can be answered No (a question about losing a video) No, so that Enter pressed by habit never says yes to it.
inline MessageButton EnterButton(MessageButtons buttons, MessageIcon icon)
{
    if (icon == MessageIcon::Warning && buttons.testFlag(MessageButton::No))
        return MessageButton::No;
    if (buttons.testFlag(MessageButton::Yes))
        return MessageButton::Yes;
    if (buttons.testFlag(MessageButton::Ok))
        return MessageButton::Ok;
    return MessageButton::NoButton;
}
