#pragma once

#include <QString>
#include <QStringList>

// Why a page gave no video, as the answer tells a person: one short Russian sentence for each common kind of
// failure, the same whichever engine met it. yt-dlp's own words (English, with its internals) go to the
// service's log instead.
namespace FailureReasons {

enum class Kind {
    Unsupported,  // nothing on the page is known as a video
    NotFound,  // the page's server answered 404
    Refused,  // the page's server refused the connection
    TimedOut,  // the page's server did not answer in time
    Removed,  // removed, or private
    SignIn,  // only for those signed in, or of age
    GeoBlocked,  // not in this country
    Live,  // a live stream
    Other,
};

QString Describe(Kind kind);

// The kind of yt-dlp's failure, from its text and the class names of its exception and of those that caused
// it, outermost first (as ytdlp_bridge.py passes them on). Other when nothing tells.
Kind ClassifyYtDlpError(const QString &text, const QStringList &exceptions);

}  // namespace FailureReasons
