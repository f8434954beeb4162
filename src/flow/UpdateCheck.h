#pragma once

#include <QByteArrayView>
#include <QString>

// The daily question to the update server and what its answer means.
namespace UpdateCheck {

// Due when the check is allowed ("1", exactly) and the stored mark is not today's date text.
bool IsDue(const QString &lastCheck, const QString &checkUpgrade, const QString &today);

// The longest answer taken for a version number.
constexpr qsizetype kLongestVersion = 16;

struct Verdict {
    // The server named a version: the day is marked as checked, whatever the version.
    bool VersionLike = false;
    // The server named another version than ours: the user is offered the web site.
    bool Offer = false;
    // The version the server named, without the white space around it.
    QString Remote;
};

// An answer names a version when, white space around it removed, it is 1 to 16 digits and dots with at
// least one digit. Anything else (an error page, an empty body) says nothing about versions.
Verdict Judge(QByteArrayView answer, const QString &appVersion);

// The two messages of the offer.
QString OfferTitle();
QString OfferText(const QString &appVersion, const QString &remote);

}  // namespace UpdateCheck
