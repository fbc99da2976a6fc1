#pragma once

#include <optional>
#include <QCollator>
#include <QHashFunctions>
#include <QList>
#include <QMetaType>
#include <QPixmap>
#include <QString>

class DesktopEntries;
struct DesktopEntry;

// One installed application: a desktop entry shown in menus.
struct InstalledAppItem
{
    QString name;         // localized Name, in the user's language
    QString originalName; // the entry's untranslated Name
    QString bundleId;     // desktop-file id without ".desktop"; also the item's identity
    QString path;         // the .desktop file

    QString id() const { return bundleId; }
    // The application's icon from the shared icon cache (main thread only).
    QPixmap icon() const;

    bool operator==(const InstalledAppItem&) const = default;
};
Q_DECLARE_METATYPE(InstalledAppItem)

size_t qHash(const InstalledAppItem& item, size_t seed = 0) noexcept;

// The list of installed applications for the icon library and the sheet that
// adds an application's ring. Static only: the one piece of state is the cached
// list, read and replaced whole under a lock so that scans on other threads
// never see half of it.
class AppScanner
{
public:
    AppScanner() = delete;

    // The MIME type whose default handler stands first, as the file manager.
    static QString fileManagerMimeType() { return QStringLiteral("inode/directory"); }

    // The sorted list. Without forceRefresh a cached list is returned as it is;
    // otherwise the desktop entries of the session's platform are read again.
    // Blocks until the scan is done; may run on any thread.
    static QList<InstalledAppItem> scanInstalledApps(bool forceRefresh);
    static std::optional<QList<InstalledAppItem>> cachedApps();
    // Dropped when the settings window closes, so its next opening scans again.
    // A scan that was under way when the cache was dropped does not refill it.
    static void clearCache();

    // One scan of `source`, uncached: the file manager first, then every shown
    // entry whose id was not seen yet, sorted by name under `collator`.
    static QList<InstalledAppItem> scan(DesktopEntries& source, const QCollator& collator);
    static InstalledAppItem itemFor(const DesktopEntry& entry);
    // Stable: equal names keep their order.
    static void sortByName(QList<InstalledAppItem>& items, const QCollator& collator);
    // The user's locale, case-insensitive, as names are sorted in lists.
    static QCollator userCollator();
};
