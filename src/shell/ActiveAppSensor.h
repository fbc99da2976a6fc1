#pragma once

#include "platform/PlatformTypes.h"

#include <optional>
#include <QObject>

class WindowSystem;

// Remembers the last frontmost application other than Rondix, so a summon from
// Rondix's own windows still targets the application used before.
class ActiveAppSensor : public QObject
{
    Q_OBJECT
    // Empty when the recorded application has no desktop id.
    Q_PROPERTY(QString currentAppBundleId READ currentAppBundleId NOTIFY currentAppBundleIdChanged)
    Q_PROPERTY(QString currentAppName READ currentAppName NOTIFY currentAppNameChanged)
    Q_PROPERTY(QString currentAppIconName READ currentAppIconName NOTIFY currentAppIconNameChanged)
public:
    explicit ActiveAppSensor(WindowSystem* windows, QObject* parent = nullptr);

    static ActiveAppSensor& shared();

    std::optional<RunningApp> snapshotFrontmostApp();

    QString currentAppBundleId() const { return m_bundleId; }
    QString currentAppName() const { return m_name; }
    // The name as a person reads it: the placeholders for "nothing recorded
    // yet" and "an application without a name" in the interface language.
    QString currentAppDisplayName() const;
    QString currentAppIconName() const { return m_iconName; }
    std::optional<RunningApp> lastFrontmostApplication() const { return m_last; }

Q_SIGNALS:
    void lastFrontmostApplicationChanged();
    void currentAppBundleIdChanged();
    void currentAppNameChanged();
    void currentAppIconNameChanged();

private:
    void updateCurrentApp(const std::optional<RunningApp>& app);

    WindowSystem* m_windows;
    std::optional<RunningApp> m_last;
    QString m_bundleId;
    QString m_name = QStringLiteral("系统");
    QString m_iconName;
};
