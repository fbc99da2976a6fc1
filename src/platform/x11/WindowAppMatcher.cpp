#include "platform/x11/WindowAppMatcher.h"

#include "platform/DesktopEntries.h"

#include <QFileInfo>

namespace WindowAppMatcher {

std::optional<DesktopEntry> match(const WindowIdentity& window, DesktopEntries& entries)
{
    const QList<DesktopEntry> all = entries.allApplications();
    for (const QString& name : {window.wmInstance, window.wmClass}) {
        if (name.isEmpty())
            continue;
        for (const DesktopEntry& e : all)
            if (!e.startupWmClass.isEmpty() && e.startupWmClass == name)
                return e;
    }

    QStringList ids;
    if (!window.wmClass.isEmpty())
        ids << window.wmClass << window.wmClass.toLower();
    if (!window.gtkAppId.isEmpty())
        ids << window.gtkAppId;
    if (!window.executable.isEmpty()) {
        const QString base = QFileInfo(window.executable).fileName();
        ids << base << base.toLower();
    }
    for (const QString& id : std::as_const(ids)) {
        // A path-like or empty id would only ever match by accident.
        if (id.isEmpty() || id.contains(QLatin1Char('/')))
            continue;
        if (auto e = entries.entryForId(id))
            return e;
    }
    return std::nullopt;
}

RunningApp describe(quint32 window, qint64 pid, const WindowIdentity& identity, DesktopEntries* entries,
                    bool ownProcess)
{
    RunningApp app;
    app.window = window;
    app.pid = pid;
    app.wmClass = identity.wmClass;
    if (ownProcess) {
        app.bundleId = kOwnAppId;
        app.name = QStringLiteral("Rondix");
        return app;
    }
    std::optional<DesktopEntry> entry = entries ? match(identity, *entries) : std::nullopt;
    if (entry) {
        app.bundleId = entry->id;
        app.name = entry->name;
        app.iconName = entry->iconName;
        app.desktopFile = entry->path;
    }
    if (app.name.isEmpty())
        app.name = identity.wmClass;
    return app;
}

} // namespace WindowAppMatcher
