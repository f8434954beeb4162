#pragma once

#include "INI.h"
#include "Options.h"

#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What the Options tests share: a fresh settings folder and settings values for each test, the dialog under
// test with its messages recorded instead of shown, and ways to reach its controls.
class OptionsFixture {
public:
    struct Message {
        QString text;
        QString title;
        QMessageBox::Icon icon;
    };

    // Fresh values (version "1.7") and an options.ini path in an empty folder; the file does not exist.
    void SetUp();
    void TearDown();

    // A new dialog, shown, its messages going to messages.
    Options *Open();
    // The dialog's control of that name; the test stops when there is none.
    template <typename T> T *Child(const QString &name) const
    {
        T *child = dialog->findChild<T *>(name);
        if (!child)
            qFatal("No control %s", qPrintable(name));
        return child;
    }
    // Space clicks an XpB wherever the pointer is.
    void PressButton(const QString &name) const;
    bool WriteFile(const QByteArray &content) const;
    QByteArray ReadFile() const;

    std::unique_ptr<QTemporaryDir> dir;
    QString path;
    INI ini;
    Options *dialog = nullptr;
    QList<Message> messages;
};

// The seven settings values the dialog edits, in the order of the dialog; SavePath is not among them.
QStringList EditedValues();

// The sections and keys of a settings file in the order the file holds them, "Section/Key" each.
QStringList KeysOf(const QByteArray &content);
