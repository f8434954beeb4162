// The download panel's two late words on a download: which of the page's forms of the video arrives, with a way
// to take another, and why a download failed, whole.
#include "Main.h"
#include "PictureBox.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>

void Main::CreateChoiceRow()
{
    // Below the speed, where the play button stands only once the video has arrived, when the row has gone.
    choiceCaption = new QLabel(QStringLiteral("Качество:"), DownBox);
    choiceCaption->setObjectName(QStringLiteral("choiceCaption"));
    choiceCaption->move(8, 181);
    choiceCaption->adjustSize();
    choiceBox = new QComboBox(DownBox);
    choiceBox->setObjectName(QStringLiteral("choiceBox"));
    const int boxLeft = choiceCaption->geometry().right() + 5;
    choiceBox->setGeometry(boxLeft, 178, 305 - boxLeft, 22);
    choiceCaption->setBuddy(choiceBox);
    choiceBox->setAccessibleName(QStringLiteral("Качество видео"));
    choiceBox->setToolTip(QStringLiteral("Выберите другое качество, чтобы загрузить его вместо этого"));
    // Taken as soon as chosen, by the mouse or by the arrow keys: the download never waits for a choice.
    connect(choiceBox, &QComboBox::activated, this, &Main::ChoiceBox_Activated);
    HideChoices();
}

void Main::CreateReasonLabel()
{
    // Below the server line, which says that the download failed, in the room the size, the bar and the speed
    // leave after a failure; the play button there shows only after a save.
    reasonLabel = new QLabel(DownBox);
    reasonLabel->setObjectName(QStringLiteral("reasonLabel"));
    reasonLabel->setGeometry(8, 124, 304, 80);
    reasonLabel->setWordWrap(true);
    reasonLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    reasonLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    reasonLabel->hide();
}

void Main::Flow_ChoicesOffered(const QStringList &texts, int taken)
{
    choiceBox->clear();
    choiceBox->addItems(texts);
    choiceBox->setCurrentIndex(taken);
    choiceCaption->show();
    choiceBox->show();
}

void Main::ChoiceBox_Activated(int index)
{
    // The speed and the time left start again with another video; the one arriving, chosen again, goes on as it was.
    if (!flow.TakeChoice(index))
        return;
    rate.Clear();
    downloadClock.start();
}

void Main::HideChoices()
{
    choiceCaption->hide();
    choiceBox->hide();
    choiceBox->clear();
}

void Main::ShowFailureReason(const QString &reason)
{
    // Without a reason of its own, the failure is the server line's text, already shown whole above.
    if (reason == Label4->text())
        return;
    reasonLabel->setText(reason);
    // The longest reasons (the service's few hundred characters, a path in the transfer's) take a smaller
    // letter rather than lose their end.
    QFont font = reasonLabel->parentWidget()->font();
    constexpr int kSmallestPixels = 9;
    for (int pixels = QFontInfo(font).pixelSize(); pixels >= kSmallestPixels; --pixels) {
        font.setPixelSize(pixels);
        reasonLabel->setFont(font);
        if (reasonLabel->heightForWidth(reasonLabel->width()) <= reasonLabel->height())
            break;
    }
    reasonLabel->show();
}
