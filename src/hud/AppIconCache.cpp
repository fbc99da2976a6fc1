#include "hud/AppIconCache.h"

#include "common/SymbolGlyphs.h"
#include "hud/ActionIconView.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <QIcon>
#include <QPainter>

AppIconCache::AppIconCache(DesktopEntries* entries, QObject* parent)
    : QObject(parent)
    , m_entries(entries)
    , m_cache(kCountLimit)
{}

AppIconCache& AppIconCache::shared()
{
    static AppIconCache* instance = new AppIconCache(Platform::instance().desktopEntries);
    return *instance;
}

QPixmap AppIconCache::loadAppIcon(DesktopEntries* entries, const QString& path, int size)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    QString iconName;
    if (entries) {
        if (const auto entry = entries->entryForFile(path))
            iconName = entry->iconName;
    }
    if (iconName.isEmpty() && !path.endsWith(QLatin1String(".desktop")))
        iconName = path; // an image file given directly
    if (iconName.isEmpty())
        return {};
    const QIcon icon = QFileInfo(iconName).isAbsolute() ? QIcon(iconName) : QIcon::fromTheme(iconName);
    if (icon.isNull())
        return {};
    QPixmap pm = icon.pixmap(size, size);
    if (pm.isNull())
        return {};
    if (pm.width() != size || pm.height() != size)
        pm = pm.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return pm;
}

QPixmap AppIconCache::icon(const QString& path)
{
    if (QPixmap* cached = m_cache.object(path))
        return *cached;
    ++m_builds;
    QPixmap pm = loadAppIcon(m_entries, path, kIconSize);
    if (pm.isNull())
        pm = QIcon::fromTheme(QStringLiteral("application-x-executable")).pixmap(kIconSize, kIconSize);
    if (pm.isNull()) {
        // No icon theme at all: the generic symbol, so callers always get a picture.
        pm = QPixmap(kIconSize, kIconSize);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        ActionIconView::paintSymbol(p, QRectF(0, 0, kIconSize, kIconSize), QStringLiteral("app.dashed"),
                                    QColor(128, 128, 128));
    }
    m_cache.insert(path, new QPixmap(pm));
    return pm;
}

void AppIconCache::removeAll()
{
    m_cache.clear();
}
