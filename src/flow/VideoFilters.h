#pragma once

#include "VideoContainer.h"

#include <QString>

// The file dialogs' filters for videos, as description and pattern pairs joined by "|".
namespace VideoFilters {

// The save dialog's: the kind of the downloaded video first, then every video, then every file.
QString SaveFilter(VideoContainer container);

// The open dialog's: every video, then every file.
QString OpenFilter();

}  // namespace VideoFilters
