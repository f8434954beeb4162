#include "ScriptedDialogs.h"

#include <QtGlobal>

namespace {
// A flow that keeps asking past its script would otherwise spin for ever; the test fails instead.
constexpr int kMostUnexpected = 50;
}  // namespace

void ScriptedDialogs::AnswerFileDialog(const QString &path, Action action)
{
    fileAnswers.append({path, std::move(action)});
}

void ScriptedDialogs::AnswerMessage(MessageButton button, Action action)
{
    messageAnswers.append({button, std::move(action)});
}

QString ScriptedDialogs::ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                                        const QString &title, quint32 flags, const QString &fileName)
{
    Asked asked;
    asked.kind = Asked::Kind::FileDialog;
    asked.owner = owner;
    asked.mode = mode;
    asked.filter = filter;
    asked.folder = folder;
    asked.title = title;
    asked.flags = flags;
    asked.fileName = fileName;
    history.append(asked);
    return NextFileAnswer();
}

QString ScriptedDialogs::ChooseFolder(QWidget *owner, const QString &folder, const QString &title)
{
    Asked asked;
    asked.kind = Asked::Kind::FolderDialog;
    asked.owner = owner;
    asked.folder = folder;
    asked.title = title;
    history.append(asked);
    return NextFileAnswer();
}

QString ScriptedDialogs::NextFileAnswer()
{
    if (fileAnswers.isEmpty()) {
        if (++unexpected > kMostUnexpected)
            qFatal("ScriptedDialogs: more than %d questions without an answer", kMostUnexpected);
        return {};
    }
    const FileAnswer answer = fileAnswers.takeFirst();
    if (answer.action)
        answer.action();
    return answer.path;
}

MessageButton ScriptedDialogs::ShowMessage(QWidget *owner, const QString &text, const QString &title,
                                           MessageButtons buttons, MessageIcon icon)
{
    Asked asked;
    asked.kind = Asked::Kind::Message;
    asked.owner = owner;
    asked.text = text;
    asked.title = title;
    asked.buttons = buttons;
    asked.icon = icon;
    history.append(asked);
    if (messageAnswers.isEmpty()) {
        if (++unexpected > kMostUnexpected)
            qFatal("ScriptedDialogs: more than %d questions without an answer", kMostUnexpected);
        if (buttons.testFlag(MessageButton::Cancel))
            return MessageButton::Cancel;
        return buttons.testFlag(MessageButton::No) ? MessageButton::No : MessageButton::Ok;
    }
    const MessageAnswer answer = messageAnswers.takeFirst();
    if (answer.action)
        answer.action();
    return answer.button;
}

void ScriptedDialogs::OpenAddress(const QString &address)
{
    Asked asked;
    asked.kind = Asked::Kind::Address;
    asked.address = address;
    history.append(asked);
}

QList<ScriptedDialogs::Asked> ScriptedDialogs::Messages() const
{
    QList<Asked> result;
    for (const Asked &asked : history)
        if (asked.kind == Asked::Kind::Message)
            result.append(asked);
    return result;
}

QList<ScriptedDialogs::Asked> ScriptedDialogs::FileDialogs() const
{
    QList<Asked> result;
    for (const Asked &asked : history)
        if (asked.kind == Asked::Kind::FileDialog)
            result.append(asked);
    return result;
}

QList<ScriptedDialogs::Asked> ScriptedDialogs::FolderDialogs() const
{
    QList<Asked> result;
    for (const Asked &asked : history)
        if (asked.kind == Asked::Kind::FolderDialog)
            result.append(asked);
    return result;
}

QStringList ScriptedDialogs::OpenedAddresses() const
{
    QStringList result;
    for (const Asked &asked : history)
        if (asked.kind == Asked::Kind::Address)
            result.append(asked.address);
    return result;
}

void ScriptedDialogs::Clear()
{
    history.clear();
    fileAnswers.clear();
    messageAnswers.clear();
    unexpected = 0;
}
