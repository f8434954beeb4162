#pragma once

#include "INI.h"
#include "Options.h"
#include "Parametr.h"
#include "ScriptedDialogs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What the Options tests share: a fresh settings folder for each test, the settings the dialog is opened with,
// the dialog under test with its messages answered by a script, and ways to reach its controls.
class OptionsFixture {
public:
    // Settings of a fresh start and an options.ini path in an empty folder; the file does not exist.
    void SetUp();
    void TearDown();

    // The default download folder the dialog is given.
    QString DownloadFolder() const { return dir->filePath(QStringLiteral("DownloadVideo/")); }
    // A new dialog over settings, shown.
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
    Settings settings;
    ScriptedDialogs dialogs;
    Options *dialog = nullptr;
};

// The seven values the dialog edits, as texts in the order of the dialog (SavePath is not among them): the
// flags "0" or "1", the port as its number or "".
QStringList EditedValues(const Settings &settings);

// The sections and keys of a settings file in the order the file holds them, "Section/Key" each.
QStringList KeysOf(const QByteArray &content);
