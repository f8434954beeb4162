#include "QualityChoice.h"

#include "TransferTexts.h"

#include <QStringList>

using ResolutionAnswer::Choice;

namespace {

// The first of the choices that pass, taking a later one only where better says it is better.
template <typename Passes, typename Better>
qsizetype FirstBest(const QList<Choice> &choices, Passes passes, Better better)
{
    qsizetype best = -1;
    for (qsizetype i = 0; i < choices.size(); ++i) {
        if (passes(choices[i]) && (best < 0 || better(choices[i], choices[best])))
            best = i;
    }
    return best;
}

QString ContainerName(const QString &container)
{
    if (container == u"webm")
        return QStringLiteral("WebM");
    return container.toUpper();
}

}  // namespace

qsizetype PickChoice(const QList<Choice> &choices, VideoQuality preference)
{
    if (choices.isEmpty())
        return -1;
    const auto none = [](const Choice &, const Choice &) { return false; };
    if (preference == VideoQuality::SoundOnly) {
        const qsizetype sound = FirstBest(
            choices, [](const Choice &c) { return c.SoundOnly; }, none);
        return sound >= 0 ? sound : 0;
    }
    const int limit = HeightLimitOf(preference);
    qsizetype picked = FirstBest(
        choices, [limit](const Choice &c) { return !c.SoundOnly && c.Height > 0 && c.Height <= limit; },
        [](const Choice &a, const Choice &b) { return a.Height > b.Height; });
    if (picked < 0)
        picked = FirstBest(
            choices, [](const Choice &c) { return !c.SoundOnly && c.Height == 0; }, none);
    if (picked < 0)
        picked = FirstBest(
            choices, [limit](const Choice &c) { return !c.SoundOnly && c.Height > limit; },
            [](const Choice &a, const Choice &b) { return a.Height < b.Height; });
    return picked >= 0 ? picked : 0;
}

QString ChoiceText(const Choice &choice, qsizetype number)
{
    QStringList parts;
    if (choice.SoundOnly)
        parts.append(QStringLiteral("Только звук"));
    else if (choice.Height > 0 && choice.Width > 0)
        parts.append(QStringLiteral("%1 × %2").arg(choice.Width).arg(choice.Height));
    else if (choice.Height > 0)
        parts.append(QStringLiteral("%1p").arg(choice.Height));
    if (!choice.Container.isEmpty())
        parts.append(ContainerName(choice.Container));
    if (choice.Size >= 0)
        parts.append(TransferTexts::ReadableSize(choice.Size));
    if (parts.isEmpty())
        return QStringLiteral("Вариант %1").arg(number);
    return parts.join(QStringLiteral(", "));
}
