#pragma once

#include <QtGlobal>

// The port quillon-resolver listens on unless told otherwise, which is also where the program looks for its own
// service by default ("localhost:8397").
inline constexpr quint16 kDefaultServicePort = 8397;
