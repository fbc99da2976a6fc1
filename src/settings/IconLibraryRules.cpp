#include "settings/IconLibraryRules.h"

const QStringList& SymbolDatabase::all()
{
    static const QStringList symbols = {
        QStringLiteral("1.circle"),
        QStringLiteral("2.circle"),
        QStringLiteral("3.circle"),
        QStringLiteral("4.circle"),
        QStringLiteral("5.circle"),
        QStringLiteral("6.circle"),
        QStringLiteral("doc.on.doc"),
        QStringLiteral("doc.on.clipboard"),
        QStringLiteral("scissors"),
        QStringLiteral("pencil"),
        QStringLiteral("highlighter"),
        QStringLiteral("trash"),
        QStringLiteral("plus"),
        QStringLiteral("minus"),
        QStringLiteral("xmark"),
        QStringLiteral("checkmark"),
        QStringLiteral("square.and.pencil"),
        QStringLiteral("folder"),
        QStringLiteral("tray"),
        QStringLiteral("archivebox"),
        QStringLiteral("doc.text"),
        QStringLiteral("list.bullet"),
        QStringLiteral("desktopcomputer"),
        QStringLiteral("macwindow"),
        QStringLiteral("lock"),
        QStringLiteral("lock.open"),
        QStringLiteral("power"),
        QStringLiteral("moon"),
        QStringLiteral("sun.max"),
        QStringLiteral("gearshape"),
        QStringLiteral("bell"),
        QStringLiteral("bell.slash"),
        QStringLiteral("magnifyingglass"),
        QStringLiteral("command"),
        QStringLiteral("option"),
        QStringLiteral("control"),
        QStringLiteral("shift"),
        QStringLiteral("keyboard"),
        QStringLiteral("terminal"),
        QStringLiteral("slider.horizontal.3"),
        QStringLiteral("switch.2"),
        QStringLiteral("play"),
        QStringLiteral("pause"),
        QStringLiteral("stop"),
        QStringLiteral("forward"),
        QStringLiteral("backward"),
        QStringLiteral("speaker.wave.3"),
        QStringLiteral("speaker.wave.1"),
        QStringLiteral("speaker.slash"),
        QStringLiteral("mic"),
        QStringLiteral("mic.slash"),
        QStringLiteral("music.note"),
        QStringLiteral("video"),
        QStringLiteral("camera"),
        QStringLiteral("photo"),
        QStringLiteral("arrow.up"),
        QStringLiteral("arrow.down"),
        QStringLiteral("arrow.left"),
        QStringLiteral("arrow.right"),
        QStringLiteral("arrow.clockwise"),
        QStringLiteral("arrow.counterclockwise"),
        QStringLiteral("arrow.uturn.backward"),
        QStringLiteral("arrow.uturn.forward"),
        QStringLiteral("chevron.left"),
        QStringLiteral("chevron.right"),
        QStringLiteral("chevron.up"),
        QStringLiteral("chevron.down"),
        QStringLiteral("arrow.up.left.and.arrow.down.right"),
        QStringLiteral("globe"),
        QStringLiteral("safari"),
        QStringLiteral("link"),
        QStringLiteral("envelope"),
        QStringLiteral("message"),
        QStringLiteral("phone"),
        QStringLiteral("bubble.left.and.bubble.right"),
        QStringLiteral("network"),
        QStringLiteral("wifi"),
        QStringLiteral("bolt"),
        QStringLiteral("at"),
        QStringLiteral("wrench.and.screwdriver"),
        QStringLiteral("hammer"),
        QStringLiteral("paintbrush"),
        QStringLiteral("eyedropper"),
        QStringLiteral("calculator"),
        QStringLiteral("clock"),
        QStringLiteral("calendar"),
        QStringLiteral("bookmark"),
        QStringLiteral("tag"),
        QStringLiteral("flag"),
        QStringLiteral("star"),
        QStringLiteral("heart"),
        QStringLiteral("hand.thumbsup"),
        QStringLiteral("person"),
        QStringLiteral("shield"),
        QStringLiteral("checkmark.seal"),
        QStringLiteral("pin"),
        QStringLiteral("paperclip"),
        QStringLiteral("creditcard"),
        QStringLiteral("cart"),
        QStringLiteral("sparkles"),
    };
    return symbols;
}

namespace IconSearch {

QStringList filteredSymbols(const QStringList& symbols, const QString& searchText)
{
    if (searchText.isEmpty())
        return symbols;
    QStringList result;
    for (const QString& name : symbols) {
        if (name.contains(searchText, Qt::CaseInsensitive))
            result.append(name);
    }
    return result;
}

QList<InstalledAppItem> filteredApps(const QList<InstalledAppItem>& apps, const QString& searchText)
{
    if (searchText.isEmpty())
        return apps;
    const QString needle = searchText.trimmed();
    QList<InstalledAppItem> result;
    if (needle.isEmpty())
        return result;
    for (const InstalledAppItem& item : apps) {
        if (item.name.contains(needle, Qt::CaseInsensitive) ||
            item.originalName.contains(needle, Qt::CaseInsensitive) ||
            item.bundleId.contains(needle, Qt::CaseInsensitive))
            result.append(item);
    }
    return result;
}

} // namespace IconSearch
