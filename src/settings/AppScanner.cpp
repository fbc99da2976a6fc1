#include "settings/AppScanner.h"

#include "hud/AppIconCache.h"
#include "platform/DesktopEntries.h"
#include "platform/Platform.h"

#include <algorithm>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

namespace {

struct Cache
{
    QMutex lock;
    std::optional<QList<InstalledAppItem>> apps;
    // Counts clearCache() calls: a scan publishes only into the cache
    // generation it started in.
    quint64 generation = 0;
};

Cache& cache()
{
    static Cache instance;
    return instance;
}

} // namespace

QPixmap InstalledAppItem::icon() const
{
    return AppIconCache::shared().icon(path);
}

size_t qHash(const InstalledAppItem& item, size_t seed) noexcept
{
    return qHashMulti(seed, item.name, item.originalName, item.bundleId, item.path);
}

InstalledAppItem AppScanner::itemFor(const DesktopEntry& entry)
{
    InstalledAppItem item;
    item.bundleId = entry.id;
    item.path = entry.path;
    item.name = entry.name;
    item.originalName = entry.unlocalizedName;
    // An entry without any Name is listed under its id, as a file manager lists it.
    if (item.name.isEmpty())
        item.name = item.originalName.isEmpty() ? entry.id : item.originalName;
    if (item.originalName.isEmpty())
        item.originalName = item.name;
    return item;
}

void AppScanner::sortByName(QList<InstalledAppItem>& items, const QCollator& collator)
{
    std::stable_sort(items.begin(), items.end(),
                     [&collator](const InstalledAppItem& a, const InstalledAppItem& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
}

QCollator AppScanner::userCollator()
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

QList<InstalledAppItem> AppScanner::scan(DesktopEntries& source, const QCollator& collator)
{
    QList<InstalledAppItem> result;
    QSet<QString> seen;
    // The file manager stands first in the scan, whether menus show it or not.
    if (const auto manager = source.defaultApplicationForType(fileManagerMimeType());
        manager && !manager->id.isEmpty()) {
        seen.insert(manager->id);
        result.append(itemFor(*manager));
    }
    // GIO already lets the first entry of an id in data-folder order hide the
    // later ones; the seen set also keeps out the file manager's second copy.
    // Its listing order is a hash order, so the ids give the scan a fixed one.
    QList<DesktopEntry> entries = source.allApplications();
    std::sort(entries.begin(), entries.end(),
              [](const DesktopEntry& a, const DesktopEntry& b) { return a.id < b.id; });
    result.reserve(result.size() + entries.size());
    for (const DesktopEntry& entry : std::as_const(entries)) {
        if (entry.id.isEmpty() || seen.contains(entry.id))
            continue;
        seen.insert(entry.id);
        result.append(itemFor(entry));
    }
    sortByName(result, collator);
    return result;
}

QList<InstalledAppItem> AppScanner::scanInstalledApps(bool forceRefresh)
{
    Cache& c = cache();
    quint64 generation = 0;
    {
        QMutexLocker locker(&c.lock);
        if (!forceRefresh && c.apps)
            return *c.apps;
        generation = c.generation;
    }
    QList<InstalledAppItem> apps;
    if (DesktopEntries* source = Platform::instance().desktopEntries)
        apps = scan(*source, userCollator());
    QMutexLocker locker(&c.lock);
    if (c.generation == generation)
        c.apps = apps;
    return apps;
}

std::optional<QList<InstalledAppItem>> AppScanner::cachedApps()
{
    QMutexLocker locker(&cache().lock);
    return cache().apps;
}

void AppScanner::clearCache()
{
    QMutexLocker locker(&cache().lock);
    cache().apps.reset();
    ++cache().generation;
}
