// The download workflow of the main window: update check, resolution, video download and save, driven by
// the transfer control's events according to DownloadStage.
#include "DefaultVideoName.h"
#include "Interaction.h"
#include "Main.h"
#include "Parametr.h"
#include "PictureBox.h"
#include "ProgramValues.h"
#include "ResolutionAnswer.h"
#include "SaveFlow.h"
#include "UpdateCheck.h"
#include "Windows1251.h"
#include "XpB.h"

#include <QLabel>

namespace {

// Status texts are painted at once, but while a fast download streams in no more often than this.
constexpr qint64 kRepaintIntervalMs = 25;
constexpr int kTwipsPerHundredPercent = 4455;

}  // namespace

void Main::DownButton_Click()
{
    SetBusyState();
    // Read afresh: the Options dialog or another run of the program may have changed them.
    const QString lastCheck = DecodeFileText(ini.RINI("Version", "LastCheck"));
    const QString checkUpgrade = DecodeFileText(ini.RINI("Version", "CheckUpgrade"));
    if (UpdateCheck::IsDue(lastCheck, checkUpgrade, ShortDateText())) {
        StartUpdateCheck();
        return;
    }
    StartResolution();
}

void Main::StartUpdateCheck()
{
    Program().DownloadStage = 0;
    dc.setURLmode(true);
    dc.setURL(UpdateAddress(hosts));
}

void Main::StartResolution()
{
    Program().DownloadStage = 1;
    dc.setURLmode(false);
    dc.setURL(ResolverAddress(hosts));
}

void Main::StopButton_Click()
{
    dc.Stopped();
    SetIdleState();
}

void Main::OfferNewVersion(const QString &remote)
{
    const QMessageBox::StandardButton answer =
        dialogs.ShowMessage(this, UpdateCheck::OfferText(Program().AppVersion, remote), UpdateCheck::OfferTitle(),
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Question);
    if (answer == QMessageBox::Yes) {
        StopButton_Click();
        dialogs.OpenAddress(WebSiteAddress(hosts));
        return;
    }
    StartResolution();
}

void Main::DC_DownOK(const QByteArray &LData)
{
    // The control's own buffer: hold a share of it, since starting the next exchange empties the control.
    const QByteArray answer = LData;
    switch (Program().DownloadStage) {
    case 0: {
        const UpdateCheck::Verdict verdict = UpdateCheck::Judge(answer, Program().AppVersion);
        if (verdict.VersionLike)
            ini.WInI("Version", "LastCheck", EncodeFileText(ShortDateText()));
        if (verdict.Offer)
            OfferNewVersion(verdict.Remote);
        else
            StartResolution();
        break;
    }
    case 1: {
        const std::optional<QString> link = ResolutionAnswer::VideoLinkOf(answer);
        if (!link) {
            SetIdleState();
            Label4->setText(QStringLiteral("Ошибка! Не удалось найти видеопоток"));
            break;
        }
        VideoLink = *link;
        Program().DownloadStage = 3;
        dc.setURLmode(true);
        dc.setURL(VideoLink);
        break;
    }
    case 2:
        Program().DownloadStage = 3;
        dc.setURLmode(true);
        dc.setURL(Windows1251::Decode(answer));
        break;
    case 3:
        Label4->clear();
        SaveVideo(DefaultVideoName(), answer);
        break;
    default:
        break;
    }
}

void Main::SaveVideo(const QString &name, const QByteArray &video)
{
    const SavedVideo saved = ::SaveVideo(SaveContext{dialogs, this, ini, programFolder}, name, video);
    if (saved.Saved) {
        LastVideoFile = saved.Path;
        XpB3->show();
    }
    SetIdleState();
    Label1->setText(saved.Saved ? QStringLiteral("Файл сохранен") : QStringLiteral("Файл не сохранен"));
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
    ImagPr->show();
    ImagPr->setWidthTwips(Perc * kTwipsPerHundredPercent / 100);
    RepaintSoon(PercLabel);
}

void Main::DC_DownError(const QString &Msg)
{
    if (Program().DownloadStage == 0) {
        StartResolution();
        return;
    }
    Label1->setText(Msg);
    SetIdleState();
}
