#include "Main.h"

#include "About.h"
#include "Artwork.h"
#include "FlvPlayer.h"
#include "Interaction.h"
#include "MovieAddress.h"
#include "Options.h"
#include "PictureBox.h"
#include "ServiceEngines.h"
#include "Version.h"
#include "XpB.h"

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

Main::Main(const QString &programFolder, Interaction &dialogs, QWidget *parent)
    : QWidget(parent)
    , programFolder(programFolder)
    , dialogs(dialogs)
    , flow(programFolder, dialogs)
{
    setObjectName(QStringLiteral("Main"));
    setFixedSize(326, 269);
    setWindowIcon(QIcon(Artwork::WindowIcon()));

    BG = new PictureBox(QStringLiteral("BG"), this);
    BG->setPicture(Artwork::WindowBackground());
    S = new QWidget(this);
    S->setObjectName(QStringLiteral("S"));
    ShowPlayerFocus(false);
    CreateMenuPanel();
    CreateDownloadPanel();
    CreatePlayerControls();

    flow.setDialogOwner(this);
    connect(&flow, &DownloadFlow::Msg, this, &Main::DC_Msg);
    connect(&flow, &DownloadFlow::PercentOfLoad, this, &Main::DC_PercentOfLoad);
    connect(&flow, &DownloadFlow::FLVsize, this, &Main::DC_FLVsize);
    connect(&flow, &DownloadFlow::ServerLine, Label4, &QLabel::setText);
    connect(&flow, &DownloadFlow::Ended, this, &Main::SetIdleState);
    connect(&flow, &DownloadFlow::Arrived, this, &Main::Flow_Arrived);
    connect(&flow, &DownloadFlow::VideoSaved, this, &Main::Flow_VideoSaved);
    connect(&flow, &DownloadFlow::Failed, this, &Main::Flow_Failed);
    connect(&flow, &DownloadFlow::SaveProgress, this, &Main::Flow_SaveProgress);
    connect(&flow, &DownloadFlow::ChoicesOffered, this, &Main::Flow_ChoicesOffered);
    rateTimer.setInterval(100);
    connect(&rateTimer, &QTimer::timeout, this, &Main::ShowTransferRate);

    Form_Load();
}

Main::~Main() = default;

void Main::Form_Load()
{
    ShowTitle();

    ShowMenuMode();
    BG->setGeometry(0, 0, width(), height());
    Box1->setPicture(bg[0]->Picture());
    // The frame outlines the player: one pixel around its rectangle.
    S->setGeometry(swf->geometry().adjusted(-1, -1, 1, 1));

    List1->addItems({QStringLiteral("www.youtube.com"), QStringLiteral("video.mail.ru"), QStringLiteral("gallery.ru"),
                     QStringLiteral("myvi.ru"), QStringLiteral("rutube.ru"), QStringLiteral("loadup.ru"),
                     QStringLiteral("vision.rambler.ru"), QStringLiteral("www.metacafe.com"),
                     QStringLiteral("video.google.com"), QStringLiteral("photobucket.com")});

    // From here on nothing may keep the window from opening: a folder that cannot be written or a
    // settings file that cannot be read is passed over.
    flow.Load();
    // But a settings file that is there and is not read is told of, once the window is up: the user would
    // otherwise wonder where the proxy went.
    if (const QString problem = flow.Store().ReadProblem(); !problem.isEmpty())
        QMetaObject::invokeMethod(
            this, [this, problem] { TellSettingsNotRead(problem); }, Qt::QueuedConnection);
}

void Main::TellSettingsNotRead(const QString &problem)
{
    dialogs.ShowMessage(this,
                        QStringLiteral("Не удалось прочитать настройки из файла options.ini.\n\nПричина: ") + problem
                            + QStringLiteral("\n\nПрограмма запущена с настройками по умолчанию."),
                        windowTitle(), MessageButton::Ok, MessageIcon::Warning);
}

void Main::SetBusyState()
{
    URLtext->setEnabled(false);
    XpB1->setEnabledCtrl(false);
    XpB2->setEnabledCtrl(false);
    DownButton->hide();
    StopButton->show();
    XpB4->setEnabledCtrl(false);
    XpB3->hide();
    reasonLabel->hide();
    HideChoices();
    XpB5->hide();
    arrivedUnseen = false;
    rate.Clear();
    declaredSize = 0;
    downloadClock.start();
    rateTimer.start();
    LabelSpeed->show();
}

void Main::SetIdleState()
{
    URLtext->setEnabled(true);
    XpB1->setEnabledCtrl(true);
    XpB2->setEnabledCtrl(true);
    XpB4->setEnabledCtrl(true);
    DownButton->show();
    StopButton->hide();
    LabelSize->clear();
    PercLabel->clear();
    Picture1->hide();
    Label4->clear();
    rateTimer.stop();
    LabelSpeed->clear();
    LabelSpeed->hide();
    HideChoices();
    ShowTitle();
}

void Main::ShowMenuMode()
{
    swf->SetMovie(PlayerMovieAddress(programFolder));
    PlayerOpenFileButton->hide();
    PlayerBackButton->hide();
    PlayerClear->hide();
    DownBox->hide();
    swf->hide();
    Box1->show();
    Label1->show();
    BlankPlayer->hide();
    Label2->hide();
    RestoreDesignedWindow();
    KeepFocusInSight();
}

void Main::ShowDownloadMode()
{
    swf->SetMovie(PlayerMovieAddress(programFolder));
    PlayerOpenFileButton->hide();
    PlayerBackButton->hide();
    PlayerClear->hide();
    DownBox->show();
    swf->hide();
    Box1->hide();
    Label1->show();
    Label2->hide();
    XpB3->hide();
    XpB5->hide();
    DownBox->setPicture(Artwork::DownloadBackground());
    RestoreDesignedWindow();
    KeepFocusInSight();
}

void Main::ShowPlayerMode()
{
    swf->SetMovie(PlayerMovieAddress(programFolder));
    PlayerOpenFileButton->show();
    PlayerBackButton->show();
    PlayerClear->show();
    DownBox->hide();
    swf->show();
    Box1->hide();
    Label1->hide();
    BlankPlayer->hide();
    Label2->show();
    FitWindowToPlayer();
    // The player takes the keyboard (pause, seek, volume) from the start, rather than whichever of its buttons
    // the panel left behind happened to hand the focus to.
    swf->setFocus(Qt::OtherFocusReason);
}

void Main::KeepFocusInSight()
{
    // A control hidden with the focus hands it to the next one still shown, which may be hidden next in the
    // same switch (the player, after its back button) and keep it unseen, its frame blue around another panel.
    QWidget *focused = focusWidget();
    if (!focused || focused->isVisibleTo(this))
        return;
    focused->clearFocus();
    focusNextChild();
}

void Main::ShowTitle(int percent)
{
    const QString title = QStringLiteral("Quillon ") + AppVersion();
    // A minimised window shows how far its video has got in the desktop's task bar.
    setWindowTitle(percent > 0 ? QStringLiteral("%1 % — ").arg(percent) + title : title);
}

void Main::BringToFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void Main::HighlightMenuItem(qint16 item)
{
    if (item >= 1 && item <= 4)
        Box1->setPicture(bg[item]->Picture());
}

void Main::ClearMenuHighlight(qint16)
{
    Box1->setPicture(bg[0]->Picture());
}

void Main::ProButton_Click()
{
    ShowPlayerMode();
    BlankPlayer->show();
    BlankPlayer->raise();
    swf->SetMovie(PlayerMovieAddress(programFolder));
}

void Main::aButton_Click()
{
    ClearMenuHighlight(4);
    About about(flow.ServerHosts().WebSite, flow.ServerHosts().ProgramPage, dialogs, this);
    about.ShowSettingsFile(flow.Store().FileName());
    ServiceEngines engines;
    connect(&engines, &ServiceEngines::Answered, &about, &About::ShowEngines);
    engines.Ask(flow.ServerHosts().Resolver);
    about.exec();
}

void Main::Qbutton_Click()
{
    if (close())
        emit ProgramEnd();
}

QString Main::CloseQuestionText()
{
    return QStringLiteral("Видео ещё загружается. Остановить загрузку и закрыть программу?\r\n\r\n"
                          "Загруженная часть будет удалена.");
}

QString Main::CloseQuestionTitle()
{
    return QStringLiteral("Предупреждение");
}

bool Main::MayClose()
{
    // The copy into place takes seconds at most; cut short, it would leave nothing whole. It runs on a thread of
    // its own while the window's events go on, so a request to close can come meanwhile.
    if (flow.Saving())
        return false;
    if (!flow.VideoUnderWay())
        return true;
    // A warning, like the question before a saved video is discarded: Enter pressed by habit answers No.
    if (dialogs.ShowMessage(this, CloseQuestionText(), CloseQuestionTitle(), MessageButton::Yes | MessageButton::No,
                            MessageIcon::Warning)
        != MessageButton::Yes)
        return false;
    flow.Stop();
    return true;
}

void Main::XpB4_Click()
{
    // Each opening is a fresh dialog over the settings file as it is now: another copy of the program, or the
    // user's editor, may have changed it since the start. What OK saves takes effect at the next transfer.
    Options options(LoadSettings(flow.Store()), flow.Store(), dialogs, flow.DownloadFolder(), this);
    if (options.exec() != QDialog::Accepted)
        return;
    // Only the network settings and saving without the dialog are kept in memory: the download reads CheckUpgrade
    // from the file each time.
    flow.AdoptNetwork(options.Committed().Network);
    flow.AdoptDirectSave(options.Committed().Direct);
}
