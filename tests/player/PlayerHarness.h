#pragma once

#include "FlvPlayer.h"

#include <QImage>
#include <QString>

#include <memory>

// What the player tests share: a shown player that plays silently, movie addresses, and looks at its picture.
namespace PlayerHarness {

// Long enough for an engine under the sanitizers on a busy machine; the waits end as soon as the condition holds.
constexpr int kPatience = 30000;

std::unique_ptr<FlvPlayer> MakePlayer(QWidget *parent = nullptr);

// The address the main window would give for this file, started or waiting on its first frame.
QString AddressFor(const QString &file, bool autoStart = true);
QString BareAddress();

// The player's picture as the user would see it.
QImage Picture(FlvPlayer &player);

// How many distinct colours there are among a grid of sample points; 1 means a flat, empty picture.
int ColourCount(const QImage &image);

}  // namespace PlayerHarness
