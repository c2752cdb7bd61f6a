// The maker's web addresses, all built from the one host name that the build sets (VORALIN_SITE_HOST).
// Schemes differ on purpose: the version file and the about box's link use plain HTTP.
#pragma once

#include "platform/BuildInfo.h"

#include <QString>

namespace SiteAddresses {

inline constexpr const char* kHost = BuildInfo::kSiteHost;

inline QString HostName() { return QString::fromLatin1(kHost); }

// The one-line text file holding the current version number; fetched by the update check.
inline QString VersionFileUrl() { return QStringLiteral("http://%1/update/photo_version.txt").arg(HostName()); }

// The site's root page, where the download lives ("Go to Download Page").
inline QString DownloadPageUrl() { return QStringLiteral("https://%1/").arg(HostName()); }

// Help menu, "Visit the program's website".
inline QString WebsiteUrl() { return QStringLiteral("https://%1/photo.html").arg(HostName()); }

// The about box's address link: the same page as WebsiteUrl(), but over plain HTTP.
inline QString AboutSiteUrl() { return QStringLiteral("http://%1/photo.html").arg(HostName()); }

// The support address without a scheme, and the mail link the about box shows and opens.
inline QString SupportMailAddress() { return QStringLiteral("support@%1").arg(HostName()); }
inline QString SupportMailUrl() { return QStringLiteral("mailto:") + SupportMailAddress(); }

}  // namespace SiteAddresses
