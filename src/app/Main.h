#pragma once

#include "DownloadFlow.h"
#include "LaunchRequest.h"
#include "TransferRate.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

class DownloadNotices;
class Interaction;
class PictureBox;
class FlvPlayer;
class ProgressBar;
class ProgressFrame;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QUrl;
class XpB;

// The program's only main window: the start menu, the download panel and the player in one area. The menu and
// the download panel keep the window at its designed size; in player mode it can be resized and maximised and
// the player fills it. The download itself is run by its DownloadFlow; the window hands it the user's clicks
// and shows what it reports.
class Main : public QWidget {
    Q_OBJECT

public:
    // programFolder: the folder of the executable, without a trailing "/". dialogs answers every modal
    // question the window asks and must outlive it.
    Main(const QString &programFolder, Interaction &dialogs, QWidget *parent = nullptr);
    ~Main() override;

    // The last video saved, or dropped on the player: what the play button plays.
    QString LastVideoFile() const { return lastVideoFile; }
    void setLastVideoFile(const QString &path) { lastVideoFile = path; }

    void SetBusyState();
    void SetIdleState();
    void ShowMenuMode();
    void ShowDownloadMode();
    void ShowPlayerMode();
    void HighlightMenuItem(qint16 item);
    void ClearMenuHighlight(qint16 item);
    void StartResolution();
    // Asks for a video to play; the chosen file's full path, or "" when nothing or no existing file was chosen.
    QString AskVideoFile();

    DownloadFlow &Flow() { return flow; }
    // Where the window tells of downloads that end while it is not active; none by default (tests), the desktop's
    // notifications in the program. notices must outlive the window.
    void setNotices(DownloadNotices *notices);
    // Shows the window in front of the others, restored if it was minimised.
    void BringToFront();
    // What the command line asked for: a video played, or a page address put in the download panel (the download
    // waits for the user's word). While a download runs its panel stays, and the user is told why.
    void OpenRequest(const LaunchRequest &request);
    // A later start's request: the window comes to the front, with the desktop's word for it, and takes it.
    void OpenLaterRequest(const LaunchRequest &request);

    // The question asked before a window with a video on its way closes.
    static QString CloseQuestionText();
    static QString CloseQuestionTitle();
    // False when the window is to stay: a video is being copied into place, or one arrives and the user keeps
    // it going. Otherwise a video on its way is stopped and what arrived deleted.
    bool MayClose();

protected:
    // Drops onto the blank player picture, and clicks on it: the window, not the picture, decides what they do.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Escape in the idle download panel goes back to the menu, as its "Назад" button does.
    void keyPressEvent(QKeyEvent *event) override;

signals:
    // The quit button was pressed: the window has closed and the program is to end.
    void ProgramEnd();

private:
    void Form_Load();
    // Tells why the settings file was not read and the settings are those of a first start.
    void TellSettingsNotRead(const QString &problem);
    void CreateMenuPanel();
    void CreateDownloadPanel();
    void CreatePlayerControls();
    // The row that shows which form of the video arrives, and the whole reason of a failure (MainChoices.cpp).
    void CreateChoiceRow();
    void CreateReasonLabel();
    XpB *MakeButton(const QString &name, QWidget *parent, const QRect &place);

    void URLtext_Change();
    void URLtext_Enter();
    void XpB1_Click();
    void DownButton_Click();
    void StopButton_Click();
    void XpB3_Click();
    void ProButton_Click();
    void Qbutton_Click();
    void aButton_Click();
    void XpB4_Click();
    void BlankPlayer_OLEDragDrop(const QList<QUrl> &dropped);
    void PlayerOpenFileButton_Click();
    void PlayVideo(const QString &path);
    // Plays the file at path in player mode, or says why not: notAFile where path is no file.
    void PlayFile(const QString &path, const QString &notAFile);
    // Where the open dialog starts: the folder of the last video saved or opened.
    QString OpenDialogFolder() const;
    void ShowPlayerFocus(bool focused);
    // After a switch of panels: the focus goes to the first control of the panel shown when what held it has gone.
    void KeepFocusInSight();
    // Both messages of the player are the same kind of box: information, OK, "Внимание".
    void PlayerMessage(const QString &text);

    // What the download flow reports, shown in the download panel.
    void DC_Msg(const QString &text);
    void DC_PercentOfLoad(int Perc);
    void DC_FLVsize(qint64 Size);
    void Flow_Arrived();
    void Flow_VideoSaved(const QString &path);
    void Flow_Failed(const QString &reason);
    void Flow_SaveProgress(qint64 done, qint64 total);
    void Flow_ChoicesOffered(const QStringList &texts, int taken);
    void ChoiceBox_Activated(int index);
    void HideChoices();
    // The reason of a failure, whole, below the server line.
    void ShowFailureReason(const QString &reason);
    // "Показать в папке": the saved video in the file manager.
    void XpB5_Click();
    // The program's title, with the share of the video that has arrived while it arrives (0 for none).
    void ShowTitle(int percent = 0);
    // Every tick of a download: the speed and time left, and the busy bar while no size is declared.
    void ShowTransferRate();
    // Shows a label's new text now, but at most every few milliseconds while data streams in.
    void RepaintSoon(QWidget *label);

    // The window's size in each mode: the player's own, remembered size, and the designed size elsewhere.
    void FitWindowToPlayer();
    void RestoreDesignedWindow();
    void RememberPlayerWindow();
    // Lays the player, its frame and its strip of buttons out over the window as it is now.
    void PlacePlayerArea();

    QString programFolder;
    Interaction &dialogs;
    DownloadFlow flow;
    QString lastVideoFile;
    QElapsedTimer lastRepaint;
    // True while the window has the player's size and may be resized.
    bool playerSized = false;
    // The player's window as entering player mode made it.
    PlayerWindow playerWindowGiven;
    // The folder of the last video saved, opened or dropped in this run; "" before the first.
    QString lastVideoFolder;
    QTimer rateTimer;
    QElapsedTimer downloadClock;
    TransferRate rate;
    qint64 declaredSize = 0;
    int busyStep = 0;
    DownloadNotices *notices = nullptr;
    // The video arrived while the window was not active: its save is told of on the desktop.
    bool arrivedUnseen = false;

    PictureBox *BG = nullptr;
    QWidget *S = nullptr;
    PictureBox *Box1 = nullptr;
    PictureBox *bg[5] = {};
    XpB *ZagButton = nullptr;
    XpB *ProButton = nullptr;
    XpB *aButton = nullptr;
    XpB *Qbutton = nullptr;
    QListWidget *List1 = nullptr;

    PictureBox *DownBox = nullptr;
    QLineEdit *URLtext = nullptr;
    XpB *XpB1 = nullptr;
    XpB *DownButton = nullptr;
    XpB *StopButton = nullptr;
    XpB *XpB2 = nullptr;
    XpB *XpB3 = nullptr;
    XpB *XpB4 = nullptr;
    XpB *XpB5 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LabelSize = nullptr;
    QLabel *PercLabel = nullptr;
    ProgressFrame *Picture1 = nullptr;
    ProgressBar *ImagPr = nullptr;
    QLabel *LabelSpeed = nullptr;
    QLabel *choiceCaption = nullptr;
    QComboBox *choiceBox = nullptr;
    QLabel *reasonLabel = nullptr;

    FlvPlayer *swf = nullptr;
    PictureBox *BlankPlayer = nullptr;
    XpB *PlayerBackButton = nullptr;
    XpB *PlayerOpenFileButton = nullptr;
    XpB *PlayerClear = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
};
