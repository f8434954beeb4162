#pragma once

#include <QString>

// What every download benchmark prints: lines flushed at once, so a long run shows its progress, and the
// machine's load average, which says how much the figures can be trusted.
void Print(const QString &text);
QString LoadAverage();
