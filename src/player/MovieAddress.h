#pragma once

#include <QString>

// The player takes its video through an address of the same form the program has always used:
//   file://localhost/<program folder>/flv_video.swf                     the empty player
//   file://localhost/<program folder>/flv_video.swf?file=<path>&autoStart=true   play <path>
// The path goes in unchanged: no escaping, so blanks, "&", "#" and any letters stay as they are.

// The address of the empty player, or, when videoFile is not empty, of the player with that video, started.
// A folder that begins with "/" is put in as it is ("file://localhost" + "/opt/quillon"); a folder of the
// drive-letter kind has its "\" turned into "/" and gets the separating "/" ("file://localhost/C:/Tools").
QString PlayerMovieAddress(const QString &programFolder, const QString &videoFile = QString());

// What a movie address asks of the player.
struct MovieRequest {
    // The video to load; empty for the bare address (the empty player).
    QString file;
    // True when the address ends with "&autoStart=true": play at once rather than wait on the first frame.
    bool autoStart = false;

    bool operator==(const MovieRequest &) const = default;
};

// Reads an address back. The path is everything between the first "?file=" and the last "&autoStart=",
// so a path that itself holds "&" or "#" (or even "&autoStart=") comes back whole. An address without
// "?file=" is the bare address.
MovieRequest ParseMovieAddress(const QString &address);
