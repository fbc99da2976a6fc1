#include "settings/LegalPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef RONDIX_SITE_URL
#define RONDIX_SITE_URL ""
#endif

namespace LegalPages {

QUrl pageUrl(const QString& path, const QString& siteUrl, const QStringList& siteDirectories)
{
    if (!siteUrl.isEmpty()) {
        QString base = siteUrl;
        while (base.endsWith(QLatin1Char('/')))
            base.chop(1);
        return QUrl(base + path);
    }
    for (const QString& dir : siteDirectories) {
        const QString file = QDir::cleanPath(dir + path + QStringLiteral("index.html"));
        if (QFileInfo(file).isFile())
            return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    }
    return {};
}

QUrl pageUrl(const QString& path)
{
    return pageUrl(path, configuredSiteUrl(), defaultSiteDirectories());
}

QStringList defaultSiteDirectories()
{
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/rondix/site");
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << data + QStringLiteral("/rondix/site");
    return dirs;
}

QString configuredSiteUrl()
{
    return QStringLiteral(RONDIX_SITE_URL);
}

} // namespace LegalPages
