#pragma once

#include <QCache>
#include <QObject>
#include <QPixmap>

class DesktopEntries;

// Application icons by the path of their desktop entry, 48 x 48, for the icon
// picker and application lists. Holds at most 60 icons; least recently used
// ones are dropped first.
class AppIconCache : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCountLimit = 60;
    static constexpr int kIconSize = 48;

    explicit AppIconCache(DesktopEntries* entries, QObject* parent = nullptr);
    static AppIconCache& shared();

    // Always returns an image: the entry's icon, or a generic application icon.
    QPixmap icon(const QString& path);
    void removeAll();

    bool contains(const QString& path) const { return m_cache.contains(path); }
    int count() const { return m_cache.count(); }
    // How many icons were made (not served from the cache); for tests.
    int buildCount() const { return m_builds; }

    // The icon of a desktop entry (or image) file at `size` pixels; null when
    // the path is empty, missing or names no icon.
    static QPixmap loadAppIcon(DesktopEntries* entries, const QString& path, int size);

private:
    DesktopEntries* m_entries;
    QCache<QString, QPixmap> m_cache;
    int m_builds = 0;
};
