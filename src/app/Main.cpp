#include "Main.h"

#include "About.h"
#include "Artwork.h"
#include "FlvPlayer.h"
#include "Interaction.h"
#include "MovieAddress.h"
#include "Options.h"
#include "Parametr.h"
#include "PictureBox.h"
#include "ProgramValues.h"
#include "XpB.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {

// The shortest text that can be a page address worth sending.
constexpr int kMinimumAddressLength = 20;

}  // namespace

Main::Main(const QString &programFolder, Interaction &dialogs, QWidget *parent)
    : QWidget(parent)
    , programFolder(programFolder)
    , dialogs(dialogs)
{
    setObjectName(QStringLiteral("Main"));
    setFixedSize(326, 269);
    setWindowIcon(QIcon(Artwork::WindowIcon()));

    BG = new PictureBox(QStringLiteral("BG"), this);
    BG->setPicture(Artwork::WindowBackground());
    S = new QWidget(this);
    S->setObjectName(QStringLiteral("S"));
    S->setStyleSheet(QStringLiteral("#S { border: 1px solid #8fa6bf; }"));
    CreateMenuPanel();
    CreateDownloadPanel();
    CreatePlayerControls();

    dc.setPageAddressProvider([this] { return URLtext->text(); });
    connect(&dc, &DC::DownOK, this, &Main::DC_DownOK);
    connect(&dc, &DC::Msg, this, &Main::DC_Msg);
    connect(&dc, &DC::PercentOfLoad, this, &Main::DC_PercentOfLoad);
    connect(&dc, &DC::FLVsize, this, &Main::DC_FLVsize);
    connect(&dc, &DC::DownError, this, &Main::DC_DownError);
    connect(&dc, &DC::ServerLine, Label4, &QLabel::setText);

    Form_Load();
}

Main::~Main() = default;

void Main::Form_Load()
{
    Program().AppVersion = QStringLiteral("1.7");
    setWindowTitle(QStringLiteral("Quillon ") + Program().AppVersion);

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
    QDir().mkpath(programFolder + QStringLiteral("/DownloadVideo"));
    ini.FileName(programFolder + QStringLiteral("/options.ini"));
    LoadSettings(ini);
    hosts = ReadHosts(ini);
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
    DownBox->setPicture(Artwork::DownloadBackground());
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
    About about(hosts.WebSite, hosts.ProgramPage, this);
    about.SetOpenAddress([this](const QString &address) { dialogs.OpenAddress(address); });
    about.exec();
}

void Main::Qbutton_Click()
{
    close();
    emit ProgramEnd();
}

void Main::XpB4_Click()
{
    // Each opening is a fresh dialog filled from the values the program uses now; they take effect at the
    // next transfer.
    Options options(ini, this);
    options.SetShowMessage([this](QWidget *owner, const QString &text, const QString &title, QMessageBox::Icon icon) {
        dialogs.ShowMessage(owner, text, title, QMessageBox::Ok, icon);
    });
    options.exec();
}

void Main::URLtext_Change()
{
    DownButton->setVisible(URLtext->text().size() >= kMinimumAddressLength);
    Label4->clear();
    Label4->show();
}

void Main::XpB1_Click()
{
    // Addresses copied from a browser or a message often carry a line break or blanks around them.
    URLtext->setText(QGuiApplication::clipboard()->text().trimmed());
}
