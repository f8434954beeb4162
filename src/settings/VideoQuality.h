#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Which form of a video the program takes when a page offers several: the tallest picture up to a height, or the
// sound alone. Options offers them in this order.
enum class VideoQuality { UpTo2160, UpTo1080, UpTo720, UpTo480, SoundOnly };

inline constexpr VideoQuality kDefaultVideoQuality = VideoQuality::UpTo1080;
// Every preference, in the order Options offers them.
inline const QList<VideoQuality> kVideoQualities = {VideoQuality::UpTo2160, VideoQuality::UpTo1080,
                                                    VideoQuality::UpTo720, VideoQuality::UpTo480,
                                                    VideoQuality::SoundOnly};

// The tallest picture the preference takes, in pixels; 0 for the sound alone.
int HeightLimitOf(VideoQuality quality);

// What Options calls the preference: "Лучшее до 1080p", "Только звук".
QString VideoQualityText(VideoQuality quality);

// The word the settings file keeps: "2160", "1080", "720", "480" or "sound".
QByteArray VideoQualityWord(VideoQuality quality);
// The preference a word of the settings file names; anything else, a missing key too, is the default.
VideoQuality ReadVideoQuality(const QString &word);
