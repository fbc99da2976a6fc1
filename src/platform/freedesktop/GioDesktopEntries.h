#pragma once

#include "platform/DesktopEntries.h"

// Desktop entries through GIO, which reads XDG_DATA_HOME and XDG_DATA_DIRS.
class GioDesktopEntries : public DesktopEntries
{
    Q_OBJECT
public:
    using DesktopEntries::DesktopEntries;

    std::optional<DesktopEntry> entryForId(const QString& id) override;
    std::optional<DesktopEntry> entryForFile(const QString& path) override;
    QList<DesktopEntry> allApplications() override;
    std::optional<DesktopEntry> defaultApplicationForType(const QString& mimeType) override;
    bool launch(const DesktopEntry& entry, QString* error) override;
};
