#include "QualityChoice.h"

#include <QTest>

using ResolutionAnswer::Choice;

namespace {

// Choices written as the answer lists them: a height, "?" for a picture of unknown height, "s" for the sound
// alone.
QList<Choice> Choices(const QString &listed)
{
    QList<Choice> choices;
    for (const QString &word : listed.split(u' ', Qt::SkipEmptyParts)) {
        Choice choice;
        choice.Link = QStringLiteral("http://v.test/%1").arg(choices.size());
        choice.SoundOnly = word == u"s";
        choice.Height = word.toInt();
        choices.append(choice);
    }
    return choices;
}

}  // namespace

class TestQualityChoice : public QObject {
    Q_OBJECT

private slots:
    void pick_data();
    void pick();
    void text_data();
    void text();
};

void TestQualityChoice::pick_data()
{
    QTest::addColumn<QString>("choices");
    QTest::addColumn<int>("preference");
    QTest::addColumn<int>("picked");
    // As the service lists yt-dlp's: its own choice, then every other height, tallest first, then the sound.
    const QString several = QStringLiteral("1080 2160 1440 720 720 480 360 s");
    QTest::newRow("up to 2160") << several << int(VideoQuality::UpTo2160) << 1;
    QTest::newRow("up to 1080") << several << int(VideoQuality::UpTo1080) << 0;
    QTest::newRow("up to 720: the first of two") << several << int(VideoQuality::UpTo720) << 3;
    QTest::newRow("up to 480") << several << int(VideoQuality::UpTo480) << 5;
    QTest::newRow("sound only") << several << int(VideoQuality::SoundOnly) << 7;
    QTest::newRow("none low enough: the smallest above") << "2160 1440 1080" << int(VideoQuality::UpTo480) << 2;
    QTest::newRow("no sound alone: the first") << "720 480" << int(VideoQuality::SoundOnly) << 0;
    QTest::newRow("no heights told: the first") << "? ? s" << int(VideoQuality::UpTo480) << 0;
    QTest::newRow("an unknown height before one too tall") << "2160 ? s" << int(VideoQuality::UpTo720) << 1;
    QTest::newRow("sound alone only") << "s s" << int(VideoQuality::UpTo1080) << 0;
    QTest::newRow("nothing") << "" << int(VideoQuality::UpTo1080) << -1;
}

void TestQualityChoice::pick()
{
    QFETCH(QString, choices);
    QFETCH(int, preference);
    QFETCH(int, picked);
    QCOMPARE(PickChoice(Choices(choices), VideoQuality(preference)), picked);
}

void TestQualityChoice::text_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("container");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<QString>("text");
    QTest::newRow("everything") << 720 << 1280 << "mp4" << qint64(88080384) << false << "1280 × 720, MP4, 84 МБ";
    QTest::newRow("a height alone") << 1080 << 0 << "webm" << qint64(-1) << false << "1080p, WebM";
    QTest::newRow("sound") << 0 << 0 << "m4a" << qint64(3355443) << true << "Только звук, M4A, 3,2 МБ";
    QTest::newRow("nothing told") << 0 << 0 << "" << qint64(-1) << false << "Вариант 3";
}

void TestQualityChoice::text()
{
    QFETCH(int, height);
    QFETCH(int, width);
    QFETCH(QString, container);
    QFETCH(qint64, size);
    QFETCH(bool, sound);
    QFETCH(QString, text);
    QCOMPARE(ChoiceText(Choice{QStringLiteral("http://v.test/"), height, width, container, size, sound}, 3), text);
}

QTEST_GUILESS_MAIN(TestQualityChoice)
#include "tst_qualitychoice.moc"
