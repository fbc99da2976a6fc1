#include "shell/ActiveAppSensor.h"

#include "l10n/L10n.h"
#include "platform/Platform.h"

ActiveAppSensor::ActiveAppSensor(WindowSystem* windows, QObject* parent)
    : QObject(parent)
    , m_windows(windows)
{
    if (!m_windows)
        return;
    // Whatever is frontmost at start-up is recorded, Rondix included.
    updateCurrentApp(m_windows->frontmostApplication());
    connect(
        m_windows, &WindowSystem::frontmostApplicationChanged, this,
        [this](const RunningApp& app) {
            if (app.bundleId == kOwnAppId)
                return;
            updateCurrentApp(app);
        },
        Qt::QueuedConnection);
}

ActiveAppSensor& ActiveAppSensor::shared()
{
    static ActiveAppSensor* instance = new ActiveAppSensor(Platform::instance().windows);
    return *instance;
}

std::optional<RunningApp> ActiveAppSensor::snapshotFrontmostApp()
{
    const std::optional<RunningApp> front = m_windows ? m_windows->frontmostApplication() : std::nullopt;
    if (front && front->bundleId != kOwnAppId) {
        updateCurrentApp(front);
        return front;
    }
    return m_last;
}

QString ActiveAppSensor::currentAppDisplayName() const
{
    if (!m_last)
        return L10n::string(QStringLiteral("app.placeholder_system"), m_name);
    if (m_last->name.isEmpty())
        return L10n::string(QStringLiteral("app.placeholder_unknown"), m_name);
    return m_name;
}

void ActiveAppSensor::updateCurrentApp(const std::optional<RunningApp>& app)
{
    if (!app)
        return;
    m_last = app;
    Q_EMIT lastFrontmostApplicationChanged();
    m_bundleId = app->bundleId;
    Q_EMIT currentAppBundleIdChanged();
    m_name = app->name.isEmpty() ? QStringLiteral("未知应用") : app->name;
    Q_EMIT currentAppNameChanged();
    m_iconName = app->iconName;
    Q_EMIT currentAppIconNameChanged();
}
