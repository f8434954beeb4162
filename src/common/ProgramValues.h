#pragma once

#include <QString>
#include <QtGlobal>

// Values that live for the whole run, outside any window. There is exactly one of each; the transfer
// control, the settings file, the windows and the save flow all read and write these same fields.
struct ProgramValues {
    // The program's own version; empty until the first step of start-up.
    QString AppVersion;
    // Which exchange the transfer control runs for the main window:
    // 0 update check, 1 resolution, 2 a redirected address is being reported, 3 video download.
    qint16 DownloadStage = 0;
    // Host (with ":port" when the address had one) and path of the address being worked on.
    QString ServerName;
    QString PageName;

    // Settings, named after their keys in options.ini; "" until loaded. Flags are "0" or "1", the port is
    // decimal text, the password is plain in memory and SavePath ends with "/".
    QString UseProxy;
    QString ProxyName;
    QString ProxyPort;
    QString ProxyAuth;
    QString ProxyLogin;
    QString ProxyPass;
    QString CheckUpgrade;
    QString SavePath;
};

ProgramValues &Program();

// Back to the values of a fresh start; for tests.
void ResetProgramValues();
