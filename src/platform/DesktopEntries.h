#pragma once

#include "platform/PlatformTypes.h"

#include <QList>
#include <QObject>

#include <optional>

// Installed applications (desktop entries) and launching them.
class DesktopEntries : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual std::optional<DesktopEntry> entryForId(const QString& id) = 0;
    virtual std::optional<DesktopEntry> entryForFile(const QString& path) = 0;
    // Every entry that is shown in menus (NoDisplay and hidden entries left out).
    virtual QList<DesktopEntry> allApplications() = 0;
    // The entry the user's settings (mimeapps.list) open `mimeType` with, shown
    // in menus or not; nothing when no application handles it.
    virtual std::optional<DesktopEntry> defaultApplicationForType(const QString& mimeType) = 0;
    // Launches through the entry, never through a shell. On failure returns
    // false and sets *error to a readable reason.
    virtual bool launch(const DesktopEntry& entry, QString* error) = 0;
};
