#include "Options.h"

#include "BoxCheckStyle.h"
#include "ClickLabel.h"
#include "GradientBG.h"
#include "INI.h"
#include "Interaction.h"
#include "LineShape.h"
#include "StarEchoStyle.h"
#include "Version.h"
#include "WindowLayout.h"
#include "XpB.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <array>
#include <tuple>
#include <vector>

namespace {

// What the user is told when options.ini could not be written; the system's reason follows.
const QString kSaveFailed = QStringLiteral("Не удалось сохранить настройки в файл options.ini.\n\n%1\n\nПричина: ");
const QString kSaveFailedTail = QStringLiteral("\n\nНастройки не изменены.");

const QColor TextBoxBack(231, 231, 231);
// The window as first drawn was 219 pixels high; saving without the dialog adds its group below the rest, the
// quality and the names their rows below that.
const QSize kClientSize(263, 335);
// The side of a check box, as large as its square.
constexpr int kBoxSide = 13;

QString ProgramTitle()
{
    return QStringLiteral("Quillon ") + AppVersion();
}

QLabel *MakeLabel(const QString &name, const QString &text, const QRect &box, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    PlaceLabel(label, box, false);
    return label;
}

ClickLabel *MakeCaption(const QString &name, const QString &text, const QRect &box, QWidget *parent)
{
    auto *label = new ClickLabel(name, text, parent);
    PlaceLabel(label, box, false);
    return label;
}

QLineEdit *MakeTextBox(const QString &name, const QRect &box, QWidget *parent)
{
    auto *text = new QLineEdit(parent);
    text->setObjectName(name);
    text->setGeometry(box);
    // White while it can be typed in, grey while its group is off, so the two are told apart at a glance.
    QPalette palette = text->palette();
    palette.setColor(QPalette::Active, QPalette::Base, Qt::white);
    palette.setColor(QPalette::Inactive, QPalette::Base, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Base, TextBoxBack);
    text->setPalette(palette);
    return text;
}

QCheckBox *MakeCheckBox(const QString &name, const QRect &box, QWidget *parent)
{
    auto *check = new QCheckBox(parent);
    check->setObjectName(name);
    check->setGeometry(box);
    return check;
}

XpB *MakeButton(const QString &name, const QString &caption, const QRect &box, QWidget *parent)
{
    auto *button = new XpB(name, parent);
    button->ReadProperties({{QStringLiteral("Caption"), caption}, {QStringLiteral("ButtonStyle"), 1}});
    button->setGeometry(box);
    return button;
}

void SetForeground(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QString FlagOf(const QCheckBox *check)
{
    return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

Options::Options(const Settings &settings, INI &ini, Interaction &interaction, const QString &downloadFolder,
                 QWidget *parent)
    : QDialog(parent)
    , committed(settings)
    , ini(ini)
    , interaction(interaction)
    , downloadFolder(downloadFolder)
{
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("Настройки"));
    setFont(WindowFont());
    MakeFixedWindow(this, kClientSize);
    new GradientBG(kBackgroundTop, kBackgroundBottom, this);
    CreateControls();
    CreateVideoChoices(250);
    CreateFrames();
    DescribeControls();
    auto *boxStyle = new BoxCheckStyle(kBoxSide);
    boxStyle->setParent(this);
    for (QCheckBox *check : {Check1, Check2, Check3, Check4, Check5}) {
        check->setStyle(boxStyle);
        check->installEventFilter(this);
    }

    setTabOrder(Check1, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Check2);
    setTabOrder(Check2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, XpB1);
    setTabOrder(XpB1, XpB2);
    setTabOrder(XpB2, Check3);
    setTabOrder(Check3, Check4);
    setTabOrder(Check4, Text5);
    setTabOrder(Text5, XpB3);
    setTabOrder(XpB3, qualityBox);
    setTabOrder(qualityBox, Check5);

    connect(Check1, &QCheckBox::toggled, this, &Options::Check1_Click);
    connect(Check2, &QCheckBox::toggled, this, &Options::Check2_Click);
    connect(Check4, &QCheckBox::toggled, this, &Options::Check4_Click);
    connect(XpB1, &XpB::Click, this, &Options::XpB1_Click);
    connect(XpB2, &XpB::Click, this, &Options::XpB2_Click);
    connect(XpB3, &XpB::Click, this, &Options::XpB3_Click);
    // A check box's caption is part of it: a click on it toggles the box, as in any dialog.
    for (const auto &[check, caption] : CheckCaptions())
        connect(caption, &ClickLabel::Click, check, [this, check] { ToggleFromCaption(check); });

    Form_Load();
    Check1->setFocus();
}

void Options::CreateControls()
{
    // Pixels at 100 %: the fields are wide enough for what they usually hold in the window's font (a host
    // name, five digits of a port, some sixteen letters of a login or password), so the login and the
    // password have a row each.
    Check1 = MakeCheckBox(QStringLiteral("Check1"), QRect(12, 12, 13, 13), this);
    Label1 =
        MakeCaption(QStringLiteral("Label1"), QStringLiteral("Использовать HTTP-прокси"), QRect(30, 12, 146, 13), this);
    Label2 = MakeLabel(QStringLiteral("Label2"), QStringLiteral("Адрес:"), QRect(26, 40, 36, 13), this);
    Text1 = MakeTextBox(QStringLiteral("Text1"), QRect(64, 36, 98, 20), this);
    Label3 = MakeLabel(QStringLiteral("Label3"), QStringLiteral("Порт:"), QRect(168, 40, 30, 13), this);
    Text2 = MakeTextBox(QStringLiteral("Text2"), QRect(202, 36, 42, 20), this);
    // Digits only; whether the number is a port at all is checked on OK.
    Text2->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Text2));
    Text2->setMaxLength(5);
    Check2 = MakeCheckBox(QStringLiteral("Check2"), QRect(26, 66, 13, 13), this);
    Label4 =
        MakeCaption(QStringLiteral("Label4"), QStringLiteral("Авторизация на прокси"), QRect(44, 66, 124, 13), this);
    Label5 = MakeLabel(QStringLiteral("Label5"), QStringLiteral("Логин:"), QRect(42, 92, 40, 13), this);
    Text3 = MakeTextBox(QStringLiteral("Text3"), QRect(90, 88, 122, 20), this);
    Label6 = MakeLabel(QStringLiteral("Label6"), QStringLiteral("Пароль:"), QRect(42, 118, 46, 13), this);
    Text4 = MakeTextBox(QStringLiteral("Text4"), QRect(90, 114, 122, 20), this);
    Text4->setEchoMode(QLineEdit::Password);
    auto *starEcho = new StarEchoStyle;
    starEcho->setParent(this);
    Text4->setStyle(starEcho);
    Check3 = MakeCheckBox(QStringLiteral("Check3"), QRect(26, 164, 13, 13), this);
    Label7 = MakeCaption(QStringLiteral("Label7"), QStringLiteral("Проверять наличие новой версии"),
                         QRect(44, 164, 180, 13), this);
    // Saving without the dialog: a group framed as the proxy's, the folder shown whole in its tooltip, changed
    // only through the folder dialog, so that it is always a folder that is there.
    Check4 = MakeCheckBox(QStringLiteral("Check4"), QRect(12, 190, kBoxSide, kBoxSide), this);
    Label8 =
        MakeCaption(QStringLiteral("Label8"), QStringLiteral("Сохранять сразу в папку"), QRect(30, 190, 146, 13), this);
    Text5 = MakeTextBox(QStringLiteral("Text5"), QRect(26, 214, 164, 20), this);
    Text5->setReadOnly(true);
    XpB3 = MakeButton(QStringLiteral("XpB3"), QStringLiteral("Обзор…"), QRect(194, 213, 50, 22), this);
    XpB1 = MakeButton(QStringLiteral("XpB1"), QStringLiteral("OK"), QRect(88, 304, 81, 21), this);
    XpB2 = MakeButton(QStringLiteral("XpB2"), QStringLiteral("Отмена"), QRect(174, 304, 81, 21), this);
}

void Options::CreateVideoChoices(int top)
{
    Label9 = MakeLabel(QStringLiteral("Label9"), QStringLiteral("Качество:"), QRect(26, top + 5, 60, 13), this);
    qualityBox = new QComboBox(this);
    qualityBox->setObjectName(QStringLiteral("qualityBox"));
    qualityBox->setGeometry(90, top, 154, 22);
    for (VideoQuality quality : kVideoQualities)
        qualityBox->addItem(VideoQualityText(quality));
    Check5 = MakeCheckBox(QStringLiteral("Check5"), QRect(26, top + 30, kBoxSide, kBoxSide), this);
    Label10 = MakeCaption(QStringLiteral("Label10"), QStringLiteral("Называть файлы датой и временем"),
                          QRect(44, top + 30, 190, 13), this);
}

namespace {

// The four lines of a group's frame (left, top, right, bottom), named as given. The left edge comes out from
// under the check box and the top edge starts right of its caption, so no line crosses either.
std::tuple<LineShape *, LineShape *, LineShape *, LineShape *>
MakeGroupFrame(const QWidget *check, const QWidget *caption, int right, int bottom, const std::array<QString, 4> &names,
               QWidget *parent)
{
    const int top = check->geometry().center().y();
    const int left = check->geometry().center().x();
    return {new LineShape(names[0], QPoint(left, check->geometry().bottom() + 3), QPoint(left, bottom), parent),
            new LineShape(names[1], QPoint(caption->geometry().right() + 4, top), QPoint(right, top), parent),
            new LineShape(names[2], QPoint(right, top), QPoint(right, bottom), parent),
            new LineShape(names[3], QPoint(right, bottom), QPoint(left, bottom), parent)};
}

}  // namespace

void Options::CreateFrames()
{
    // The proxy group, and inside it the authorisation group.
    std::tie(Line1, Line3, Line7, Line8) = MakeGroupFrame(Check1, Label1, 250, 152,
                                                          {QStringLiteral("Line1"), QStringLiteral("Line3"),
                                                           QStringLiteral("Line7"), QStringLiteral("Line8")},
                                                          this);
    std::tie(Line2, Line4, Line5, Line6) = MakeGroupFrame(Check2, Label4, 240, 144,
                                                          {QStringLiteral("Line2"), QStringLiteral("Line4"),
                                                           QStringLiteral("Line5"), QStringLiteral("Line6")},
                                                          this);
    std::tie(Line9, Line10, Line11, Line12) = MakeGroupFrame(Check4, Label8, 250, 242,
                                                             {QStringLiteral("Line9"), QStringLiteral("Line10"),
                                                              QStringLiteral("Line11"), QStringLiteral("Line12")},
                                                             this);
}

std::array<std::pair<QCheckBox *, ClickLabel *>, 5> Options::CheckCaptions() const
{
    return {{{Check1, Label1}, {Check2, Label4}, {Check3, Label7}, {Check4, Label8}, {Check5, Label10}}};
}

void Options::DescribeControls()
{
    // What a screen reader says of the boxes and fields: their captions, without the colons.
    std::vector<std::pair<QWidget *, QLabel *>> described = {{Text1, Label2},
                                                             {Text2, Label3},
                                                             {Text3, Label5},
                                                             {Text4, Label6},
                                                             {qualityBox, Label9}};
    for (const auto &[check, caption] : CheckCaptions())
        described.emplace_back(check, caption);
    for (const auto &[control, caption] : described) {
        caption->setBuddy(control);
        QString name = caption->text();
        if (name.endsWith(u':'))
            name.chop(1);
        control->setAccessibleName(name);
    }
    Text5->setAccessibleName(QStringLiteral("Папка"));
    XpB3->setAccessibleName(QStringLiteral("Выбрать папку"));
}

bool Options::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        for (const auto &[check, caption] : CheckCaptions()) {
            if (watched == check)
                caption->setFocusShown(event->type() == QEvent::FocusIn);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Options::ToggleFromCaption(QCheckBox *check)
{
    if (!check->isEnabled())
        return;
    check->setFocus(Qt::MouseFocusReason);
    check->toggle();
}

void Options::keyPressEvent(QKeyEvent *event)
{
    // Enter is OK wherever the focus is, except on a button, which takes Enter for itself.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        XpB1_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

QColor Options::EnabledColor()
{
    return QColor(0, 0, 0);
}

QColor Options::DisabledColor()
{
    return QColor(128, 128, 128);
}

void Options::Form_Load()
{
    const ConnectionSettings &network = committed.Network;
    Check1->setChecked(network.UseProxy);
    Text1->setText(network.ProxyName);
    Text2->setText(network.ProxyPort == 0 ? QString() : QString::number(network.ProxyPort));
    Check2->setChecked(network.ProxyAuth);
    Text3->setText(network.ProxyLogin);
    Text4->setText(network.ProxyPass);
    Check3->setChecked(committed.CheckUpgrade);
    ShowVideoChoices();
    // A long address shows its beginning, as it was typed.
    for (QLineEdit *text : {Text1, Text2, Text3, Text4})
        text->setCursorPosition(0);
    Check4->setChecked(committed.Direct.On);
    ShowDirectFolder(committed.Direct.Folder.isEmpty() ? downloadFolder : committed.Direct.Folder);
    Check1_Click();
    Check4_Click();
}

void Options::ShowVideoChoices()
{
    qualityBox->setCurrentIndex(int(kVideoQualities.indexOf(committed.Quality)));
    Check5->setChecked(committed.DateTimeNames);
}

void Options::TakeVideoChoices(Settings &edited) const
{
    edited.Quality = kVideoQualities.value(qualityBox->currentIndex(), kDefaultVideoQuality);
    edited.DateTimeNames = Check5->isChecked();
}

void Options::Check1_Click()
{
    const bool enabled = Check1->isChecked();
    ColourGroup({Label2, Label3, Label4}, {Line1, Line3, Line7, Line8}, enabled);
    Text1->setEnabled(enabled);
    Text2->setEnabled(enabled);
    Check2->setEnabled(enabled);
    Check2_Click();
}

void Options::Check2_Click()
{
    const bool enabled = Check2->isEnabled() && Check2->isChecked();
    ColourGroup({Label5, Label6}, {Line2, Line4, Line5, Line6}, enabled);
    Text3->setEnabled(enabled);
    Text4->setEnabled(enabled);
}

void Options::Check4_Click()
{
    const bool enabled = Check4->isChecked();
    ColourGroup({}, {Line9, Line10, Line11, Line12}, enabled);
    Text5->setEnabled(enabled);
    XpB3->setEnabledCtrl(enabled);
}

void Options::ShowDirectFolder(const QString &folder)
{
    Text5->setText(folder);
    Text5->setToolTip(folder);
    // The end of a long path names the folder; its beginning is the same for most.
    Text5->end(false);
}

void Options::XpB3_Click()
{
    QString chosen = interaction.ChooseFolder(this, Text5->text(), QStringLiteral("Папка для видео"));
    if (chosen.isEmpty())
        return;
    if (!chosen.endsWith(QLatin1Char('/')))
        chosen += QLatin1Char('/');
    ShowDirectFolder(chosen);
}

void Options::ColourGroup(const QList<QLabel *> &labels, const QList<LineShape *> &lines, bool enabled)
{
    const QColor color = enabled ? EnabledColor() : DisabledColor();
    for (QLabel *label : labels)
        SetForeground(label, color);
    for (LineShape *line : lines)
        line->setBorderColor(color);
}

bool Options::PortAccepted()
{
    // A port that is no port would be saved and fail only at the next download through the proxy.
    const QString port = Text2->text().trimmed();
    if (ReadPort(port) != 0 || (port.isEmpty() && !Check1->isChecked()))
        return true;
    interaction.ShowMessage(this, SettingsTexts::InvalidProxyPort(port), ProgramTitle(), MessageButton::Ok,
                            MessageIcon::Warning);
    Text2->setFocus(Qt::OtherFocusReason);
    Text2->selectAll();
    return false;
}

void Options::XpB1_Click()
{
    if (!PortAccepted())
        return;
    Settings edited = committed;
    edited.Network = ParseNetwork(
        NetworkTexts{FlagOf(Check1), Text1->text(), Text2->text(), FlagOf(Check2), Text3->text(), Text4->text()});
    edited.CheckUpgrade = Check3->isChecked();
    TakeVideoChoices(edited);
    // The default folder is kept as none, so that it follows the program wherever its default folder goes.
    edited.Direct = DirectSave{Check4->isChecked(), Text5->text() == downloadFolder ? QString() : Text5->text()};

    const SaveOutcome outcome = SaveSettings(ini, edited);
    if (!outcome.Written) {
        // The file still holds the old settings, so the program goes on with them too; the dialog stays
        // open with what the user typed, to try again or to cancel.
        const QString text = kSaveFailed.arg(ini.FileName()) + outcome.WriteError + kSaveFailedTail;
        interaction.ShowMessage(this, text, ProgramTitle(), MessageButton::Ok, MessageIcon::Warning);
        return;
    }
    committed = edited;
    if (!outcome.PasswordKept)
        interaction.ShowMessage(this, outcome.Notice, ProgramTitle(), MessageButton::Ok, MessageIcon::NoIcon);
    accept();
}

void Options::XpB2_Click()
{
    reject();
}
