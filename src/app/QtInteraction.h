#pragma once

#include "Interaction.h"

// The real dialogs, message boxes and browser.
class QtInteraction final : public Interaction {
public:
    QString ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                           const QString &title, quint32 flags, const QString &fileName) override;
    QMessageBox::StandardButton ShowMessage(QWidget *owner, const QString &text, const QString &title,
                                            QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) override;
    void OpenAddress(const QString &address) override;
};
