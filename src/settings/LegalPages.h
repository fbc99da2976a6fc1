#pragma once

#include <QStringList>
#include <QUrl>

// Where the terms and privacy pages are opened from: the web site the build
// names (RONDIX_SITE_URL), else the copies installed with Rondix under
// share/rondix/site, opened as local files.
namespace LegalPages {

inline const QString kTermsPath = QStringLiteral("/en/terms/");
inline const QString kPrivacyPath = QStringLiteral("/en/privacy/");

// The page for `path` ("/en/terms/"): on `siteUrl` when it is set, else the
// first "<dir><path>index.html" that exists. An empty URL when neither.
QUrl pageUrl(const QString& path, const QString& siteUrl, const QStringList& siteDirectories);
QUrl pageUrl(const QString& path);

// Beside the binary (<prefix>/share/rondix/site), the data folders, the
// build tree's copy.
QStringList defaultSiteDirectories();
QString configuredSiteUrl();

} // namespace LegalPages
