#pragma once

#include <QString>

// A play position as the control strip shows it: "m:ss", or "h:mm:ss" from an hour on. Negative and
// unknown (NaN) positions show as "0:00"; fractions of a second are cut, not rounded, so the clock never
// runs ahead of the picture.
QString FormatPlayTime(double seconds);
