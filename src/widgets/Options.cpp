#include "Options.h"

#include "GradientBG.h"
#include "INI.h"
#include "Interaction.h"
#include "LineShape.h"
#include "StarEchoStyle.h"
#include "Twips.h"
#include "Version.h"
#include "WindowLayout.h"
#include "XpB.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace {

// What the user is told when options.ini could not be written; the system's reason follows.
const QString kSaveFailed = QStringLiteral("Не удалось сохранить настройки в файл options.ini.\n\n%1\n\nПричина: ");
const QString kSaveFailedTail = QStringLiteral("\n\nНастройки не изменены.");

const QColor TextBoxBack(231, 231, 231);

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

QLineEdit *MakeTextBox(const QString &name, const QRect &box, QWidget *parent)
{
    auto *text = new QLineEdit(parent);
    text->setObjectName(name);
    text->setGeometry(box);
    QPalette palette = text->palette();
    palette.setColor(QPalette::Base, TextBoxBack);
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

Options::Options(const Settings &settings, INI &ini, Interaction &interaction, QWidget *parent)
    : QDialog(parent)
    , committed(settings)
    , ini(ini)
    , interaction(interaction)
{
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("Настройки"));
    setFont(WindowFont());
    MakeFixedWindow(this, QSize(Px(3645), Px(2685)));
    new GradientBG(BackgroundTop, BackgroundBottom, this);

    Check1 = MakeCheckBox(QStringLiteral("Check1"), TwipRect(180, 240, 195, 195), this);
    Label1 = MakeLabel(QStringLiteral("Label1"), QStringLiteral("Использовать HTTP-прокси"),
                       TwipRect(420, 240, 2160, 195), this);
    Label2 = MakeLabel(QStringLiteral("Label2"), QStringLiteral("Адрес:"), TwipRect(360, 600, 510, 195), this);
    Text1 = MakeTextBox(QStringLiteral("Text1"), TwipRect(900, 540, 1395, 285), this);
    Label3 = MakeLabel(QStringLiteral("Label3"), QStringLiteral("Порт:"), TwipRect(2460, 600, 420, 195), this);
    Text2 = MakeTextBox(QStringLiteral("Text2"), TwipRect(2940, 540, 495, 285), this);
    Check2 = MakeCheckBox(QStringLiteral("Check2"), TwipRect(360, 900, 195, 195), this);
    Label4 = MakeLabel(QStringLiteral("Label4"), QStringLiteral("Авторизация на прокси"), TwipRect(600, 900, 1800, 195),
                       this);
    Label5 = MakeLabel(QStringLiteral("Label5"), QStringLiteral("Логин:"), TwipRect(480, 1320, 510, 195), this);
    Text3 = MakeTextBox(QStringLiteral("Text3"), TwipRect(1020, 1260, 735, 285), this);
    Label6 = MakeLabel(QStringLiteral("Label6"), QStringLiteral("Пароль:"), TwipRect(1920, 1320, 615, 195), this);
    Text4 = MakeTextBox(QStringLiteral("Text4"), TwipRect(2580, 1260, 735, 285), this);
    Text4->setEchoMode(QLineEdit::Password);
    auto *starEcho = new StarEchoStyle;
    starEcho->setParent(this);
    Text4->setStyle(starEcho);
    XpB1 = MakeButton(QStringLiteral("XpB1"), QStringLiteral("OK"), TwipRect(1020, 2280, 1215, 315), this);
    XpB2 = MakeButton(QStringLiteral("XpB2"), QStringLiteral("Отмена"), TwipRect(2340, 2280, 1215, 315), this);
    Check3 = MakeCheckBox(QStringLiteral("Check3"), TwipRect(360, 1920, 195, 195), this);
    Label7 = MakeLabel(QStringLiteral("Label7"), QStringLiteral("Проверять наличие новой версии"),
                       TwipRect(600, 1920, 2565, 195), this);

    // The proxy group, and inside it the authorisation group; each top edge starts right of its caption.
    Line1 = new LineShape(QStringLiteral("Line1"), TwipPoint(240, 360), TwipPoint(240, 1800), this);
    Line3 = new LineShape(QStringLiteral("Line3"), TwipPoint(2640, 360), TwipPoint(3540, 360), this);
    Line7 = new LineShape(QStringLiteral("Line7"), TwipPoint(3540, 360), TwipPoint(3540, 1800), this);
    Line8 = new LineShape(QStringLiteral("Line8"), TwipPoint(3540, 1800), TwipPoint(240, 1800), this);
    Line2 = new LineShape(QStringLiteral("Line2"), TwipPoint(420, 1020), TwipPoint(420, 1680), this);
    Line4 = new LineShape(QStringLiteral("Line4"), TwipPoint(2460, 1020), TwipPoint(3420, 1020), this);
    Line5 = new LineShape(QStringLiteral("Line5"), TwipPoint(3420, 1020), TwipPoint(3420, 1680), this);
    Line6 = new LineShape(QStringLiteral("Line6"), TwipPoint(3420, 1680), TwipPoint(420, 1680), this);

    setTabOrder(Check1, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Check2);
    setTabOrder(Check2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, XpB1);
    setTabOrder(XpB1, XpB2);
    setTabOrder(XpB2, Check3);

    connect(Check1, &QCheckBox::toggled, this, &Options::Check1_Click);
    connect(Check2, &QCheckBox::toggled, this, &Options::Check2_Click);
    connect(XpB1, &XpB::Click, this, &Options::XpB1_Click);
    connect(XpB2, &XpB::Click, this, &Options::XpB2_Click);

    Form_Load();
    Check1->setFocus();
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
    // A long address shows its beginning, as it was typed.
    for (QLineEdit *text : {Text1, Text2, Text3, Text4})
        text->setCursorPosition(0);
    Check1_Click();
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

void Options::ColourGroup(const QList<QLabel *> &labels, const QList<LineShape *> &lines, bool enabled)
{
    const QColor color = enabled ? EnabledColor() : DisabledColor();
    for (QLabel *label : labels)
        SetForeground(label, color);
    for (LineShape *line : lines)
        line->setBorderColor(color);
}

void Options::XpB1_Click()
{
    Settings edited = committed;
    edited.Network = ParseNetwork(
        NetworkTexts{FlagOf(Check1), Text1->text(), Text2->text(), FlagOf(Check2), Text3->text(), Text4->text()});
    edited.CheckUpgrade = Check3->isChecked();

    const SaveOutcome outcome = SaveSettings(ini, edited);
    if (!outcome.Written) {
        // The file still holds the old settings, so the program goes on with them too; the dialog stays
        // open with what the user typed, to try again or to cancel.
        const QString text = kSaveFailed.arg(ini.FileName()) + outcome.WriteError + kSaveFailedTail;
        interaction.ShowMessage(this, text, ProgramTitle(), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    committed = edited;
    if (!outcome.PasswordKept)
        interaction.ShowMessage(this, outcome.Notice, ProgramTitle(), QMessageBox::Ok, QMessageBox::NoIcon);
    accept();
}

void Options::XpB2_Click()
{
    reject();
}
