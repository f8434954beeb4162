// The download panel's side of a download: the user's clicks go to the download flow, and what the flow
// reports is shown in the panel's labels and progress bar.
#include "DownloadFlow.h"
#include "DownloadNotices.h"
#include "FileManager.h"
#include "Main.h"
#include "PictureBox.h"
#include "TransferTexts.h"
#include "XpB.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <utility>

namespace {

// The shortest text that can be a page address worth sending.
constexpr int kMinimumAddressLength = 20;
// Status texts are painted at once, but while a fast download streams in no more often than this.
constexpr qint64 kRepaintIntervalMs = 25;
constexpr int kTwipsPerHundredPercent = 4455;

}  // namespace

void Main::URLtext_Change()
{
    DownButton->setVisible(URLtext->text().size() >= kMinimumAddressLength);
    Label4->clear();
    Label4->show();
    reasonLabel->hide();
}

void Main::URLtext_Enter()
{
    // Enter does what the download button would, and only where the button is offered.
    if (!DownButton->isHidden() && DownButton->isEnabled())
        DownButton_Click();
}

void Main::keyPressEvent(QKeyEvent *event)
{
    const bool idleDownloadPanel = !DownBox->isHidden() && StopButton->isHidden();
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && idleDownloadPanel) {
        ShowMenuMode();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Main::XpB1_Click()
{
    // Addresses copied from a browser or a message often carry a line break or blanks around them.
    const QString pasted = QGuiApplication::clipboard()->text().trimmed();
    // The same address pasted again, to try it once more, changes no text but is a change all the same:
    // what the last run left on the labels must go.
    if (pasted == URLtext->text())
        URLtext_Change();
    else
        URLtext->setText(pasted);
}

void Main::DownButton_Click()
{
    SetBusyState();
    flow.Download(URLtext->text());
}

void Main::StartResolution()
{
    flow.StartResolution();
}

void Main::StopButton_Click()
{
    flow.Stop();
}

void Main::setNotices(DownloadNotices *given)
{
    if (notices)
        disconnect(notices, nullptr, this, nullptr);
    notices = given;
    if (notices)
        connect(notices, &DownloadNotices::WindowWanted, this, &Main::BringToFront);
}

void Main::Flow_Arrived()
{
    ShowTitle();
    // Judged when the video has arrived, not once it is saved: a save dialog has just had the user's attention.
    arrivedUnseen = !isActiveWindow();
}

void Main::Flow_VideoSaved(const QString &path)
{
    setLastVideoFile(path);
    lastVideoFolder = QFileInfo(path).absolutePath();
    XpB3->show();
    XpB5->show();
    if (notices && std::exchange(arrivedUnseen, false))
        notices->TellSaved(path);
}

void Main::Flow_Failed(const QString &reason)
{
    ShowFailureReason(reason);
    if (notices && !isActiveWindow())
        notices->TellFailed(reason);
}

void Main::XpB5_Click()
{
    ShowInFileManager(lastVideoFile, this);
}

void Main::RepaintSoon(QWidget *label)
{
    if (!lastRepaint.isValid() || lastRepaint.elapsed() >= kRepaintIntervalMs) {
        label->repaint();
        lastRepaint.restart();
    }
}

void Main::DC_Msg(const QString &text)
{
    Label1->setText(text);
    RepaintSoon(Label1);
}

void Main::DC_FLVsize(qint64 Size)
{
    declaredSize = Size;
    if (Size == 0) {
        LabelSize->clear();
        return;
    }
    LabelSize->setText(QStringLiteral("Размер файла: ") + QString::number(Size / 1024) + QStringLiteral(" Кб"));
    Picture1->show();
}

void Main::DC_PercentOfLoad(int Perc)
{
    if (Perc < 1 || Perc > 100) {
        PercLabel->clear();
        ImagPr->hide();
        return;
    }
    PercLabel->setText(QString::number(Perc) + QLatin1Char('%'));
    if (flow.VideoArriving())
        ShowTitle(Perc);
    ImagPr->show();
    ImagPr->move(0, 0);
    ImagPr->setWidthTwips(Perc * kTwipsPerHundredPercent / 100);
    RepaintSoon(PercLabel);
}

void Main::Flow_SaveProgress(qint64 done, qint64 total)
{
    DC_Msg(QStringLiteral("Копирование видеофайла: %1 из %2")
               .arg(TransferTexts::ReadableSize(done), TransferTexts::ReadableSize(total)));
    DC_PercentOfLoad(static_cast<int>(done * 100 / std::max<qint64>(total, 1)));
}

void Main::ShowTransferRate()
{
    if (!flow.VideoArriving())
        return;
    const qint64 bytes = flow.VideoBytes();
    rate.Add(downloadClock.elapsed(), bytes);
    LabelSpeed->setText(rate.Text(bytes, declaredSize, flow.Transfer().Connections()));
    if (declaredSize > 0 || bytes == 0)
        return;
    // Without a declared size there is no share to show: a block runs along the bar while bytes arrive.
    constexpr int kBlockWidth = 60;
    const int travel = Picture1->width() - kBlockWidth;
    const int position = busyStep % (2 * travel);
    busyStep += 6;
    Picture1->show();
    ImagPr->show();
    ImagPr->setGeometry(position < travel ? position : 2 * travel - position, 0, kBlockWidth, ImagPr->height());
}
