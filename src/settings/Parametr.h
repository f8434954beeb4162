#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class CPassword;
class INI;

// Loading and saving the settings values of Program() (UseProxy ... SavePath) through the settings store.
// Texts are kept in options.ini as UTF-8, the proxy password scrambled on Windows-1251 codes.

// What became of a save, for the window that asked for it.
struct SaveOutcome {
    // options.ini now holds every value; when false the file is as it was before, and WriteError says why.
    bool Written = false;
    QString WriteError;
    // False when the password could not be scrambled: an empty password went to the file instead, while
    // Program().ProxyPass keeps the password for this run. Notice is then the text of the message box to
    // show, titled with the program's title; "" otherwise.
    bool PasswordKept = true;
    QString Notice;
};

// Fills the settings values from the file; absent keys load as "". Never fails and never writes.
void LoadSettings(const INI &ini);

// Writes every settings value to the file in one replacement. The values themselves are not changed.
SaveOutcome SaveSettings(INI &ini);

// The one scrambler of the program, made on first use.
CPassword &ProgramPassword();

// Texts of the file as the program holds them: UTF-8, or Windows-1251 for bytes that are not UTF-8 (files
// written by earlier versions of the program).
QString DecodeFileText(QByteArrayView bytes);
QByteArray EncodeFileText(const QString &text);
