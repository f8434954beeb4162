#include "About.h"

#include "ClickLabel.h"
#include "DotShape.h"
#include "GradientBG.h"
#include "Interaction.h"
#include "LineShape.h"
#include "LogoPicture.h"
#include "Twips.h"
#include "Version.h"
#include "WindowLayout.h"
#include "XpB.h"

#include <QDir>
#include <QLabel>
#include <QTimer>

namespace {

const QColor kHeadingColor(64, 64, 64);
const QRect kSettingsPathBox = TwipRect(60, 3600, 2910, 195);
const QRect kEnginesBox = TwipRect(60, 4140, 2910, 195);
// The two lines of the service's engines, when it names them.
constexpr int kEnginesTwips = 540;
const QColor kLinkColor(0, 0, 192);

void Colour(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLabel *MakeLabel(QLabel *label, const QString &name, const QRect &box)
{
    label->setObjectName(name);
    PlaceLabel(label, box, true);
    return label;
}

QLabel *MakeHeading(const QString &name, const QString &text, const QRect &box, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    Colour(label, kHeadingColor);
    return MakeLabel(label, name, box);
}

ClickLabel *MakeLink(const QString &name, const QString &text, const QRect &box, QWidget *parent)
{
    auto *label = new ClickLabel(name, text, parent);
    Colour(label, kLinkColor);
    label->setCursor(Qt::PointingHandCursor);
    label->OpenToKeyboard();
    MakeLabel(label, name, box);
    return label;
}

}  // namespace

About::About(const QString &webSiteHost, const QString &programPageHost, Interaction &interaction, QWidget *parent)
    : QDialog(parent)
    , interaction(interaction)
    , forum(ForumAddress(webSiteHost))
    , site(SiteAddress(webSiteHost))
    , programPage(ProgramPageAddress(programPageHost))
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setFont(WindowFont());
    MakeFixedWindow(this, QSize(Px(3030), Px(4305)));
    new GradientBG(kBackgroundTop, kBackgroundBottom, this);

    new LogoPicture(QStringLiteral("Image1"), TwipPoint(240, 360), this);
    // The dots are a control array, both named A; the index tells them apart.
    dots[0] = new DotShape(QStringLiteral("A"), TwipRect(300, 360, 75, 75), this);
    dots[1] = new DotShape(QStringLiteral("A"), TwipRect(360, 480, 75, 75), this);
    dots[0]->setProperty("Index", 0);
    dots[1]->setProperty("Index", 1);

    new LineShape(QStringLiteral("Line1"), TwipPoint(120, 1080), TwipPoint(1800, 1080), this);
    new LineShape(QStringLiteral("Line2"), TwipPoint(2760, 1080), TwipPoint(2940, 1080), this);
    Label7 = MakeLabel(new QLabel(QStringLiteral("Версия 1.1"), this), QStringLiteral("Label7"),
                       TwipRect(1860, 960, 825, 195));
    MakeHeading(QStringLiteral("Label1"), QStringLiteral("Автор:"), TwipRect(1260, 1200, 600, 195), this);
    auto *author = new QLabel(QStringLiteral("Команда Quillon"), this);
    QFont bold = author->font();
    bold.setBold(true);
    author->setFont(bold);
    MakeLabel(author, QStringLiteral("Label2"), TwipRect(60, 1440, 2910, 195));
    MakeHeading(QStringLiteral("Label3"), QStringLiteral("Обсуждение программы:"), TwipRect(420, 1740, 2250, 195),
                this);
    Label4 = MakeLink(QStringLiteral("Label4"), QStringLiteral("Форум"), TwipRect(1200, 1980, 630, 195), this);
    MakeHeading(QStringLiteral("Label5"), QStringLiteral("Официальный сайт:"), TwipRect(720, 2280, 1785, 195), this);
    Label6 = MakeLink(QStringLiteral("Label6"), site, TwipRect(420, 2520, 2295, 195), this);
    MakeHeading(QStringLiteral("Label8"), QStringLiteral("Справка и обновления"), TwipRect(540, 2820, 2040, 195), this);
    Label9 = MakeLink(QStringLiteral("Label9"), programPage, TwipRect(510, 3060, 2100, 195), this);
    MakeHeading(QStringLiteral("SettingsHeading"), QStringLiteral("Файл настроек:"), TwipRect(720, 3360, 1590, 195),
                this);
    settingsPath = MakeLabel(new QLabel(this), QStringLiteral("SettingsPath"), kSettingsPathBox);
    settingsPath->setTextInteractionFlags(Qt::TextSelectableByMouse);

    ok = new XpB(QStringLiteral("ok"), this);
    ok->ReadProperties({{QStringLiteral("Caption"), QStringLiteral("OK")}, {QStringLiteral("ButtonStyle"), 1}});
    ok->setGeometry(TwipRect(1440, 3900, 1455, 315));

    ATimer = new QTimer(this);
    ATimer->setObjectName(QStringLiteral("ATimer"));
    ATimer->setInterval(800);

    connect(ATimer, &QTimer::timeout, this, &About::ATimer_Timer);
    connect(Label4, &ClickLabel::Click, this, [this] { this->interaction.OpenAddress(forum); });
    connect(Label6, &ClickLabel::Click, this, [this] { this->interaction.OpenAddress(site); });
    connect(Label9, &ClickLabel::Click, this, [this] { this->interaction.OpenAddress(programPage); });
    connect(ok, &XpB::Click, this, &QDialog::accept);

    Form_Load();
    ATimer->start();
    ok->setFocus();
}

QString About::ForumAddress(const QString &webSiteHost)
{
    return QStringLiteral("http://") + webSiteHost + QStringLiteral("/forum/viewforum.php?f=10");
}

QString About::SiteAddress(const QString &webSiteHost)
{
    return QStringLiteral("http://") + webSiteHost;
}

QString About::ProgramPageAddress(const QString &programPageHost)
{
    return QStringLiteral("http://") + programPageHost;
}

void About::ShowEngines(const QString &engines)
{
    if (!enginesLine) {
        MakeHeading(QStringLiteral("EnginesHeading"), QStringLiteral("Служба ищет видео с помощью:"),
                    TwipRect(180, 3900, 2670, 195), this)
            ->show();
        enginesLine = MakeLabel(new QLabel(this), QStringLiteral("EnginesLine"), kEnginesBox);
        enginesLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
        enginesLine->show();
        setFixedSize(width(), height() + Px(kEnginesTwips));
        ok->move(ok->x(), ok->y() + Px(kEnginesTwips));
    }
    enginesLine->setText(engines);
}

void About::ShowSettingsFile(const QString &path)
{
    QString shown = path;
    const QString home = QDir::homePath();
    if (home != QStringLiteral("/") && shown.startsWith(home + QLatin1Char('/')))
        shown = QLatin1Char('~') + shown.sliced(home.size());
    settingsPath->setText(settingsPath->fontMetrics().elidedText(shown, Qt::ElideMiddle, kSettingsPathBox.width()));
    settingsPath->setToolTip(path);
    // The label may show the path shortened in its middle; a screen reader reads it whole.
    settingsPath->setAccessibleName(path);
    PlaceLabel(settingsPath, kSettingsPathBox, true);
}

void About::ATimer_Timer()
{
    // isVisibleTo rather than isVisible: the dots blink from the start, also before the window is shown.
    dots[1]->setVisible(!dots[1]->isVisibleTo(this));
    dots[0]->setVisible(!dots[0]->isVisibleTo(this));
}

void About::Form_Load()
{
    // The label was laid out for its design text; the real version may be wider.
    Label7->setText(QStringLiteral("Версия ") + AppVersion());
    PlaceLabel(Label7, TwipRect(1860, 960, 825, 195), true);
}
