#pragma once

#include "Interaction.h"

// The real dialogs, message boxes and browser.
class QtInteraction final : public Interaction {
public:
    QString ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                           const QString &title, quint32 flags, const QString &fileName) override;
    QString ChooseFolder(QWidget *owner, const QString &folder, const QString &title) override;
    MessageButton ShowMessage(QWidget *owner, const QString &text, const QString &title, MessageButtons buttons,
                              MessageIcon icon) override;
    void OpenAddress(const QString &address) override;
};

// Qt's own words in these dialogs (the file dialog's "Look in:", "Cancel", the boxes' "Yes" and "No") in
// Russian, as every other word of the program, whatever the desktop's language. Call it once the application
// object exists; false when the Qt translations are not installed, and the words stay English.
bool UseRussianQtTexts();
