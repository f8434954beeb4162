#pragma once

#include "Interaction.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The main window's dialogs played from a script: every question is recorded with all it was given and
// answered with the next answer of its kind. A question with no answer left is recorded as unexpected and
// answered as a user who closes it would (cancel, No, OK).
class ScriptedDialogs final : public Interaction {
public:
    struct Asked {
        enum class Kind { FileDialog, FolderDialog, Message, Address };
        Kind kind = Kind::Message;
        QWidget *owner = nullptr;
        // File dialog; the folder dialog has a folder and a title.
        qint16 mode = 0;
        QString filter;
        QString folder;
        quint32 flags = 0;
        QString fileName;
        // Message box.
        QString text;
        MessageButtons buttons;
        MessageIcon icon = MessageIcon::NoIcon;
        // Both.
        QString title;
        // Opened address.
        QString address;
    };

    // Runs when the question is asked, before the answer is given: lets a test look at the world (the
    // disk, the window) at that moment or change it.
    using Action = std::function<void()>;

    // File and folder dialogs take their answers from one list, in the order they are asked.
    void AnswerFileDialog(const QString &path, Action action = {});
    void AnswerMessage(MessageButton button, Action action = {});

    QString ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                           const QString &title, quint32 flags, const QString &fileName) override;
    QString ChooseFolder(QWidget *owner, const QString &folder, const QString &title) override;
    MessageButton ShowMessage(QWidget *owner, const QString &text, const QString &title, MessageButtons buttons,
                              MessageIcon icon) override;
    void OpenAddress(const QString &address) override;

    const QList<Asked> &History() const { return history; }
    QList<Asked> Messages() const;
    QList<Asked> FileDialogs() const;
    QList<Asked> FolderDialogs() const;
    QStringList OpenedAddresses() const;
    // Questions that came when the script had no answer for them.
    int Unexpected() const { return unexpected; }
    // Answers the script still holds.
    int Unused() const { return static_cast<int>(fileAnswers.size() + messageAnswers.size()); }
    void Clear();

private:
    struct FileAnswer {
        QString path;
        Action action;
    };
    struct MessageAnswer {
        MessageButton button;
        Action action;
    };

    QList<Asked> history;
    QList<FileAnswer> fileAnswers;
    QList<MessageAnswer> messageAnswers;
    QString NextFileAnswer();
    int unexpected = 0;
};
