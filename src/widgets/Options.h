#pragma once

#include "Parametr.h"

#include <QDialog>
#include <QString>

#include <array>
#include <utility>

class ClickLabel;
class INI;
class Interaction;
class LineShape;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class XpB;

// The settings dialog "Настройки": the proxy, its login, the update check, saving without the dialog, the quality
// videos are taken in and how they are named. Each opening is a fresh dialog over the settings it is given, which the
// main window reads from the settings file as it opens it; OK (also Enter) writes every value the dialog shows to the
// file, as the user confirmed it, and once they are there
// closes with them committed; a port that is no port is refused first. Cancel, Escape and the close box leave
// everything as it was.
//
// The main window opens it modally and takes the committed settings when it was accepted:
//     Options dialog(LoadSettings(ini), ini, interaction, downloadFolder, this);
//     if (dialog.exec() == QDialog::Accepted)
//         network = dialog.Committed().Network;
class Options : public QDialog {
    Q_OBJECT

public:
    // The dialog saves through ini and tells its notices and asks for a folder through interaction; both must outlive
    // it. downloadFolder: the default download folder, ending with "/", proposed for saving without the dialog.
    Options(const Settings &settings, INI &ini, Interaction &interaction, const QString &downloadFolder,
            QWidget *parent = nullptr);

    // The settings as the last successful OK saved them; until then, the settings the dialog was opened with.
    const Settings &Committed() const { return committed; }

    // The enabled and disabled colours of the captions and frame lines.
    static QColor EnabledColor();
    static QColor DisabledColor();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // A check box's focus is shown on its caption.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    // The quality a video is taken in and whether it is named by the time of its save: two rows from top down.
    void CreateVideoChoices(int top);
    void ShowVideoChoices();
    void TakeVideoChoices(Settings &edited) const;
    void CreateFrames();
    void DescribeControls();
    // Each check box with its caption.
    std::array<std::pair<QCheckBox *, ClickLabel *>, 5> CheckCaptions() const;
    void ToggleFromCaption(QCheckBox *check);
    // The port is empty (without a proxy) or a number from 1 to 65535; otherwise the user is told.
    bool PortAccepted();
    void Form_Load();
    void Check1_Click();
    void Check2_Click();
    void Check4_Click();
    // "Обзор…": another folder for saving without the dialog.
    void XpB3_Click();
    void ShowDirectFolder(const QString &folder);
    void XpB1_Click();
    void XpB2_Click();

    void ColourGroup(const QList<QLabel *> &labels, const QList<LineShape *> &lines, bool enabled);

    Settings committed;
    INI &ini;
    Interaction &interaction;
    QString downloadFolder;

    QCheckBox *Check1;
    QCheckBox *Check2;
    QCheckBox *Check3;
    QCheckBox *Check4;
    QCheckBox *Check5;
    QComboBox *qualityBox;
    QLabel *Label9;
    ClickLabel *Label10;
    ClickLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    ClickLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    ClickLabel *Label7;
    ClickLabel *Label8;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QLineEdit *Text3;
    QLineEdit *Text4;
    QLineEdit *Text5;
    XpB *XpB1;
    XpB *XpB2;
    XpB *XpB3;
    LineShape *Line1;
    LineShape *Line2;
    LineShape *Line3;
    LineShape *Line4;
    LineShape *Line5;
    LineShape *Line6;
    LineShape *Line7;
    LineShape *Line8;
    LineShape *Line9;
    LineShape *Line10;
    LineShape *Line11;
    LineShape *Line12;
};
