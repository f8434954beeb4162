// The ways a video reaches the player: a drop onto the blank picture, the open-file button or a click on the
// blank picture, and the play button of the download panel; and the clear button that empties the player
// again. Any video the player plays is taken, whatever its name: it is judged by its first bytes.
#include "FlvPlayer.h"
#include "Interaction.h"
#include "Main.h"
#include "MovieAddress.h"
#include "PictureBox.h"
#include "VideoContainer.h"
#include "VideoFilters.h"
#include "XpB.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

bool Main::eventFilter(QObject *watched, QEvent *event)
{
    const bool focusChange = event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut;
    if (watched == swf && focusChange)
        ShowPlayerFocus(event->type() == QEvent::FocusIn);
    for (XpB *button : {PlayerBackButton, PlayerOpenFileButton, PlayerClear}) {
        if (watched == button && focusChange)
            button->setButtonStyle(event->type() == QEvent::FocusIn ? XpBLook::Style::AlwaysFramed
                                                                    : XpBLook::Style::Flat);
    }
    if (watched != BlankPlayer)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        // Everything may be dropped, text and links too: the user is told afterwards why it does not play.
        static_cast<QDropEvent *>(event)->acceptProposedAction();
        return true;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QList<QUrl> dropped = drop->mimeData()->hasUrls() ? drop->mimeData()->urls() : QList<QUrl>();
        drop->acceptProposedAction();
        // The source of the drag (a file manager) waits until the drop returns; a message box opened here
        // would hold it up, so the drop is looked at once the event loop is free again.
        QMetaObject::invokeMethod(
            this, [this, dropped] { BlankPlayer_OLEDragDrop(dropped); }, Qt::QueuedConnection);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto *click = static_cast<QMouseEvent *>(event);
        if (click->button() != Qt::LeftButton || !BlankPlayer->rect().contains(click->position().toPoint()))
            return false;
        PlayerOpenFileButton_Click();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void Main::ShowPlayerFocus(bool focused)
{
    // The player takes the keyboard (pause, seek, volume); its frame tells when it has it.
    S->setStyleSheet(focused ? QStringLiteral("#S { border: 1px solid #2d6cb5; }")
                             : QStringLiteral("#S { border: 1px solid #8fa6bf; }"));
}

void Main::BlankPlayer_OLEDragDrop(const QList<QUrl> &dropped)
{
    // Only local files make a file list; a link from a browser is no file, like text.
    QStringList files;
    for (const QUrl &url : dropped) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    if (files.isEmpty()) {
        PlayerMessage(QStringLiteral("Вы перетащили не файл!"));
        return;
    }
    // The dropped path is kept even when it is refused: the play button of the download panel plays it.
    setLastVideoFile(files.first());
    PlayFile(lastVideoFile, QStringLiteral("Вы перетащили не файл!"));
}

void Main::PlayFile(const QString &path, const QString &notAFile)
{
    if (!QFileInfo(path).isFile()) {
        PlayerMessage(notAFile);
        return;
    }
    if (!IsVideoFile(path)) {
        PlayerMessage(QStringLiteral("Это не FLV-видео файл!"));
        return;
    }
    ShowPlayerMode();
    PlayVideo(path);
}

QString Main::AskVideoFile()
{
    const QString path = dialogs.ShowFileDialog(this, 1, VideoFilters::OpenFilter(), OpenDialogFolder(),
                                                QStringLiteral("Открыть видеофайл"), 0, QString());
    // The dialog accepts a typed name of a file that is not there.
    return QFileInfo(path).isFile() ? path : QString();
}

QString Main::OpenDialogFolder() const
{
    // The save folder is where the last video of an earlier run went.
    for (const QString &folder : {lastVideoFolder, flow.SavePath()}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    }
    return programFolder;
}

void Main::PlayerOpenFileButton_Click()
{
    const QString path = AskVideoFile();
    if (path.isEmpty())
        return;
    if (!IsVideoFile(path)) {
        PlayerMessage(QStringLiteral("Это не FLV-видео файл!"));
        return;
    }
    // The button is there only in player mode, so the mode stays; LastVideoFile stays the saved video.
    BlankPlayer->hide();
    PlayVideo(path);
}

void Main::XpB3_Click()
{
    // The file has just been written by the save, so it is played without any test.
    ShowPlayerMode();
    PlayVideo(lastVideoFile);
}

void Main::PlayVideo(const QString &path)
{
    swf->SetMovie(PlayerMovieAddress(programFolder, path));
    lastVideoFolder = QFileInfo(path).absolutePath();
    // Space and the arrows go to the video at once, not to the button that opened it.
    swf->setFocus(Qt::OtherFocusReason);
}

void Main::PlayerMessage(const QString &text)
{
    dialogs.ShowMessage(this, text, QStringLiteral("Внимание"), MessageButton::Ok, MessageIcon::Information);
}
