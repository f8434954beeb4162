// The controls of the main window, placed as the window is designed (pixels at 100 %).
#include "Artwork.h"
#include "ElidedLabel.h"
#include "FlvPlayer.h"
#include "Main.h"
#include "PictureBox.h"
#include "XpB.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>

namespace {

const QRect kPanel(4, 4, 320, 240);

// The menu's left column and the band behind a highlighted item, as the menu pictures draw them.
const QColor kMenuColumn(0xe6, 0xed, 0xf5);
const QColor kMenuBand(0xcf, 0xe0, 0xf3);

// The smallest letter the speed line takes to be shown whole (the window's own is 11 pixels).
constexpr int kSmallestSpeedPixels = 9;

// Picture buttons take the colour of the artwork they sit on, so only their picture and frame are seen.
void Blend(XpB *button, QColor face)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, face);
    button->setPalette(palette);
}

// The window's labels show texts of any length: what does not fit is cut with "…" and shown whole in a tooltip.
ElidedLabel *MakeLabel(const QString &name, QWidget *parent, const QRect &place, const QString &text = QString())
{
    auto *label = new ElidedLabel(name, text, parent);
    label->setGeometry(place);
    return label;
}

}  // namespace

XpB *Main::MakeButton(const QString &name, QWidget *parent, const QRect &place)
{
    auto *button = new XpB(name, parent);
    button->setCaption(QString());
    button->setGeometry(place);
    return button;
}

void Main::CreateMenuPanel()
{
    // The menu's pictures are kept in boxes outside the visible area and copied into Box1 on hover.
    for (int item = 0; item < 5; ++item) {
        bg[item] = new PictureBox(QStringLiteral("bg%1").arg(item), this);
        bg[item]->setPicture(Artwork::MenuBackground(item));
        bg[item]->setGeometry(356 + 20 * item, 4, 17, 17);
        bg[item]->hide();
    }

    Box1 = new PictureBox(QStringLiteral("Box1"), this);
    Box1->setGeometry(kPanel);
    Box1->setAccessibleName(QStringLiteral("Меню"));
    ZagButton = MakeButton(QStringLiteral("ZagButton"), Box1, QRect(8, 8, 69, 57));
    ProButton = MakeButton(QStringLiteral("ProButton"), Box1, QRect(8, 68, 69, 57));
    aButton = MakeButton(QStringLiteral("aButton"), Box1, QRect(8, 132, 37, 37));
    Qbutton = MakeButton(QStringLiteral("Qbutton"), Box1, QRect(8, 176, 65, 57));
    ZagButton->setPicture(Artwork::ButtonPicture(QStringLiteral("download48"), QSize(48, 48)));
    ProButton->setPicture(Artwork::ButtonPicture(QStringLiteral("player48"), QSize(48, 48)));
    aButton->setPicture(Artwork::ButtonPicture(QStringLiteral("about32"), QSize(32, 32)));
    Qbutton->setPicture(Artwork::ButtonPicture(QStringLiteral("quit48"), QSize(48, 48)));
    ZagButton->setToolTip(QStringLiteral("Загрузка видео"));
    ProButton->setToolTip(QStringLiteral("Проигрыватель"));
    aButton->setToolTip(QStringLiteral("О программе"));
    Qbutton->setToolTip(QStringLiteral("Выход"));
    const std::pair<XpB *, qint16> items[] = {{ZagButton, 1}, {ProButton, 2}, {Qbutton, 3}, {aButton, 4}};
    for (const auto &[button, item] : items) {
        button->setButtonStyle(XpBLook::Style::Flat);
        Blend(button, kMenuColumn);
        connect(button, &XpB::MouseIn, this, [this, item = item] { HighlightMenuItem(item); });
        connect(button, &XpB::MouseOut, this, [this, item = item] { ClearMenuHighlight(item); });
        // The highlighted picture puts a band behind the item; the button takes its colour meanwhile.
        connect(button, &XpB::MouseIn, button, [button = button] { Blend(button, kMenuBand); });
        connect(button, &XpB::MouseOut, button, [button = button] { Blend(button, kMenuColumn); });
    }
    connect(ZagButton, &XpB::Click, this, &Main::ShowDownloadMode);
    connect(ProButton, &XpB::Click, this, &Main::ProButton_Click);
    connect(aButton, &XpB::Click, this, &Main::aButton_Click);
    connect(Qbutton, &XpB::Click, this, &Main::Qbutton_Click);

    // Nothing reads the list of services; it says which sites the program was made for.
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(356, 40, 17, 17);
    List1->hide();
}

void Main::CreateDownloadPanel()
{
    DownBox = new PictureBox(QStringLiteral("DownBox"), this);
    DownBox->setGeometry(kPanel);
    DownBox->setPicture(Artwork::DownloadBackground());
    DownBox->setAccessibleName(QStringLiteral("Загрузка видео"));

    URLtext = new QLineEdit(DownBox);
    URLtext->setObjectName(QStringLiteral("URLtext"));
    URLtext->setGeometry(8, 28, 276, 24);
    URLtext->setToolTip(QStringLiteral("URL страницы с видеоматериалом"));
    // The field's caption is part of the panel's picture, so a screen reader is told it here.
    URLtext->setAccessibleName(QStringLiteral("Адрес страницы с видео"));
    // Only the blank player picture takes drops; an address is pasted, with XpB1 or the keyboard.
    URLtext->setAcceptDrops(false);
    connect(URLtext, &QLineEdit::textChanged, this, &Main::URLtext_Change);
    connect(URLtext, &QLineEdit::returnPressed, this, &Main::URLtext_Enter);

    XpB1 = MakeButton(QStringLiteral("XpB1"), DownBox, QRect(288, 28, 24, 24));
    XpB1->setButtonStyle(XpBLook::Style::Flat);
    Blend(XpB1, QColor(0xec, 0xf1, 0xf7));
    XpB1->setPicture(Artwork::ButtonPicture(QStringLiteral("paste16"), QSize(16, 16)));
    XpB1->setToolTip(QStringLiteral("Вставить адрес из буфера обмена"));
    connect(XpB1, &XpB::Click, this, &Main::XpB1_Click);

    DownButton = MakeButton(QStringLiteral("DownButton"), DownBox, QRect(8, 60, 185, 41));
    DownButton->setCaption(QStringLiteral("Загрузить видео"));
    StopButton = MakeButton(QStringLiteral("StopButton"), DownBox, QRect(8, 60, 185, 41));
    StopButton->setCaption(QStringLiteral("Остановить загрузку"));
    XpB3 = MakeButton(QStringLiteral("XpB3"), DownBox, QRect(8, 160, 185, 41));
    XpB3->setCaption(QStringLiteral("Воспроизвести"));
    XpB3->setPicture(Artwork::ButtonPicture(QStringLiteral("play32"), QSize(32, 32)));
    // A little wider than the window was drawn with, so that the caption does not touch the button's edge in
    // the fonts of a Linux desktop.
    XpB2 = MakeButton(QStringLiteral("XpB2"), DownBox, QRect(8, 208, 77, 25));
    XpB2->setCaption(QStringLiteral(" Назад"));
    XpB2->setPicture(Artwork::ButtonPicture(QStringLiteral("back16"), QSize(16, 16)));
    XpB4 = MakeButton(QStringLiteral("XpB4"), DownBox, QRect(200, 208, 112, 25));
    XpB4->setCaption(QStringLiteral("Настройки сети"));
    // Beside the play button and as high, shown with it after a save: its caption takes two lines.
    XpB5 = MakeButton(QStringLiteral("XpB5"), DownBox, QRect(200, 160, 112, 41));
    XpB5->setCaption(QStringLiteral("Показать в папке"));
    for (XpB *button : {DownButton, StopButton, XpB3, XpB2, XpB4, XpB5})
        button->setButtonStyle(XpBLook::Style::Gradient);
    DownButton->hide();
    StopButton->hide();
    XpB3->hide();
    XpB5->hide();
    connect(DownButton, &XpB::Click, this, &Main::DownButton_Click);
    connect(StopButton, &XpB::Click, this, &Main::StopButton_Click);
    connect(XpB3, &XpB::Click, this, &Main::XpB3_Click);
    connect(XpB2, &XpB::Click, this, &Main::ShowMenuMode);
    connect(XpB4, &XpB::Click, this, &Main::XpB4_Click);
    connect(XpB5, &XpB::Click, this, &Main::XpB5_Click);

    Label4 = MakeLabel(QStringLiteral("Label4"), DownBox, QRect(8, 106, 304, 16), QStringLiteral("Сервер:"));
    Label4->hide();
    LabelSize = MakeLabel(QStringLiteral("LabelSize"), DownBox, QRect(8, 124, 220, 16));
    PercLabel = MakeLabel(QStringLiteral("PercLabel"), DownBox, QRect(250, 124, 55, 16));
    PercLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Picture1 = new ProgressFrame(QStringLiteral("Picture1"), DownBox);
    Picture1->setAccessibleName(QStringLiteral("Ход загрузки"));
    Picture1->setGeometry(8, 142, 297, 12);
    Picture1->hide();
    ImagPr = new ProgressBar(QStringLiteral("ImagPr"), Picture1);
    ImagPr->setGeometry(0, 0, 0, 12);
    ImagPr->hide();
    // The speed lies where the play button stands after a save, which is never while a video arrives: it is
    // shown only then, and even so lets the pointer through to whatever is below.
    ElidedLabel *speed = MakeLabel(QStringLiteral("LabelSpeed"), DownBox, QRect(8, 158, 297, 16));
    // Over several connections the line counts them too, and the time left at its end is what is read most: a
    // smaller letter rather than a cut.
    speed->setSmallestPixelSize(kSmallestSpeedPixels);
    LabelSpeed = speed;
    LabelSpeed->setAttribute(Qt::WA_TransparentForMouseEvents);
    LabelSpeed->hide();
    CreateChoiceRow();
    CreateReasonLabel();
}

void Main::CreatePlayerControls()
{
    swf = new FlvPlayer(this);
    swf->setObjectName(QStringLiteral("swf"));
    swf->setAccessibleName(QStringLiteral("Проигрыватель"));
    swf->installEventFilter(this);
    // The strip over the video is for the mouse; the keyboard has the same controls.
    swf->setAccessibleDescription(QStringLiteral("Пробел — пауза, стрелки влево и вправо — перемотка, вверх и вниз — "
                                                 "громкость, M — звук, F — во весь экран"));
    swf->setGeometry(kPanel);
    BlankPlayer = new PictureBox(QStringLiteral("BlankPlayer"), this);
    BlankPlayer->setGeometry(kPanel);
    BlankPlayer->setPicture(Artwork::EmptyPlayer());
    BlankPlayer->setKeepAspect(true);
    // A click on the picture opens a video, as the open-file button does.
    BlankPlayer->setCursor(Qt::PointingHandCursor);
    BlankPlayer->setAccessibleName(QStringLiteral("Перетащите сюда видеофайл или щёлкните здесь, чтобы открыть его"));
    BlankPlayer->hide();
    // The picture is the only drop target of the window; what a drop or a click does is decided in eventFilter.
    BlankPlayer->setAcceptDrops(true);
    BlankPlayer->installEventFilter(this);

    PlayerBackButton = MakeButton(QStringLiteral("PlayerBackButton"), this, QRect(4, 248, 21, 20));
    PlayerOpenFileButton = MakeButton(QStringLiteral("PlayerOpenFileButton"), this, QRect(28, 248, 21, 20));
    PlayerClear = MakeButton(QStringLiteral("PlayerClear"), this, QRect(52, 248, 21, 20));
    PlayerBackButton->setPicture(Artwork::ButtonPicture(QStringLiteral("back16"), QSize(16, 16)));
    PlayerOpenFileButton->setPicture(Artwork::ButtonPicture(QStringLiteral("open16"), QSize(16, 16)));
    PlayerClear->setPicture(Artwork::ButtonPicture(QStringLiteral("clear16"), QSize(16, 16)));
    PlayerBackButton->setToolTip(QStringLiteral("Назад в меню"));
    PlayerOpenFileButton->setToolTip(QStringLiteral("Открыть видеофайл"));
    PlayerClear->setToolTip(QStringLiteral("Очистить проигрыватель"));
    for (XpB *button : {PlayerBackButton, PlayerOpenFileButton, PlayerClear}) {
        button->setButtonStyle(XpBLook::Style::Flat);
        Blend(button, QColor(0xd5, 0xe0, 0xeb));
        // The buttons are hardly larger than their pictures: a dotted box inside would be drawn over the
        // picture, so their frame shows the focus (eventFilter).
        button->setShowFocusRect(false);
        button->installEventFilter(this);
    }
    connect(PlayerBackButton, &XpB::Click, this, &Main::ShowMenuMode);
    connect(PlayerOpenFileButton, &XpB::Click, this, &Main::PlayerOpenFileButton_Click);
    connect(PlayerClear, &XpB::Click, this, &Main::ProButton_Click);

    Label1 = MakeLabel(QStringLiteral("Label1"), this, QRect(0, 252, 326, 17), QStringLiteral("Готов"));
    Label1->setIndent(6);
    Label2 = MakeLabel(QStringLiteral("Label2"), this, QRect(208, 252, 116, 13), QStringLiteral("Режим проигрывателя"));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The caption has a narrow strip beside the player's buttons: a smaller letter where the font is wide.
    QFont small = Label2->font();
    for (int pixels = 11; pixels >= 8; --pixels) {
        small.setPixelSize(pixels);
        if (QFontMetrics(small).horizontalAdvance(Label2->text()) <= Label2->width())
            break;
    }
    Label2->setFont(small);
}
