#pragma once

#include "ResolutionAnswer.h"
#include "VideoQuality.h"

#include <QList>
#include <QString>

// Which of the answer's choices the preference takes, as an index into choices; -1 when there are none.
// A picture: the tallest at or below the preference's height, the first of equals (the service puts the better
// first); when none is known to be, the first whose height the answer does not tell; else the smallest above.
// The sound alone: the first choice without picture. When nothing fits the preference at all (no picture, no
// sound alone), the service's own first choice.
qsizetype PickChoice(const QList<ResolutionAnswer::Choice> &choices, VideoQuality preference);

// What the download panel says of a choice, from what the answer tells: "1280 × 720, MP4, 84 МБ",
// "720p, WebM", "Только звук, M4A"; "Вариант 3" (number counted from 1) when it tells nothing.
QString ChoiceText(const ResolutionAnswer::Choice &choice, qsizetype number);
