#pragma once

#include <QString>

// True when the file's first three bytes are "FLV" (case-sensitive, the FLV signature). A file that cannot
// be opened or read, is shorter than three bytes, or is not a file at all counts as not FLV; the reason is
// not reported.
bool IsFlvFile(const QString &path);
