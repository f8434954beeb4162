#pragma once

#include <QDialog>
#include <QString>

#include <array>

class ClickLabel;
class Interaction;
class DotShape;
class QLabel;
class QTimer;
class XpB;

// The window "About": the logo with its two blinking dots, the version, the author, three links to the
// maker's pages, opened in the user's browser, and where the settings file is. Each opening is a fresh window.
//
// The main window opens it modally, giving the hosts of the maker's web site and of the program's own page
// (each a host with an optional ":port") and the seam through which it opens web addresses:
//     About about(hosts.WebSite, hosts.ProgramPage, interaction, this);
//     about.ShowSettingsFile(ini.FileName());
//     about.exec();
class About : public QDialog {
    Q_OBJECT

public:
    // Links are opened through interaction, which must outlive the window.
    About(const QString &webSiteHost, const QString &programPageHost, Interaction &interaction,
          QWidget *parent = nullptr);

    // The three link targets.
    static QString ForumAddress(const QString &webSiteHost);
    static QString SiteAddress(const QString &webSiteHost);
    static QString ProgramPageAddress(const QString &programPageHost);

    // Shows the full path of options.ini, the home folder written as "~"; the line too short for it keeps its
    // beginning and end, and its tool tip has it all.
    void ShowSettingsFile(const QString &path);

    // What the link-resolution service finds videos with ("yt-dlp 2026.08.19, builtin 1.7"), once it has said
    // so: two more lines above the OK button.
    void ShowEngines(const QString &engines);

    // The blinking dots, A(0) and A(1).
    DotShape *A(int index) const { return dots.at(index); }

    // One tick of the blinking timer: each dot turns visible if it was hidden and hidden if it was visible.
    void ATimer_Timer();

private:
    void Form_Load();
    Interaction &interaction;
    QString forum;
    QString site;
    QString programPage;

    std::array<DotShape *, 2> dots{};
    QLabel *Label7 = nullptr;
    ClickLabel *Label4 = nullptr;
    ClickLabel *Label6 = nullptr;
    ClickLabel *Label9 = nullptr;
    QLabel *settingsPath = nullptr;
    QLabel *enginesLine = nullptr;
    XpB *ok = nullptr;
    QTimer *ATimer = nullptr;
};
