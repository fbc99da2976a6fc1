#include "shell/AccessibilityPermissionManager.h"

#include "common/Log.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>

AccessibilityPermissionManager::AccessibilityPermissionManager(InputTrust* trust, QObject* parent)
    : QObject(parent)
    , m_trust(trust)
{
    checkPermission();
    // Coming back to Rondix (the user may have changed the session meanwhile).
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(
            app, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    checkPermission();
            },
            Qt::QueuedConnection);
    }
}

AccessibilityPermissionManager& AccessibilityPermissionManager::shared()
{
    static AccessibilityPermissionManager* instance =
        new AccessibilityPermissionManager(Platform::instance().trust);
    return *instance;
}

QString AccessibilityPermissionManager::missingReason() const
{
    return m_trust ? m_trust->missingReason() : QStringLiteral("no input backend");
}

InputAccess AccessibilityPermissionManager::inputAccess() const
{
    return m_trust ? m_trust->access() : InputAccess{InputAccess::sessionFromEnvironment(), false, false};
}

bool AccessibilityPermissionManager::checkPermission()
{
    m_granted = m_trust && m_trust->isTrusted();
    Q_EMIT isAccessibilityGrantedChanged();
    if (m_granted)
        stopPolling();
    else
        startPollingIfNeeded();
    return m_granted;
}

void AccessibilityPermissionManager::startPollingIfNeeded()
{
    if (m_granted || m_pollTimer)
        return;
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(1000);
    // A check that finds the access granted stops the polling itself.
    connect(m_pollTimer, &QTimer::timeout, this, &AccessibilityPermissionManager::checkPermission);
    m_pollTimer->start();
}

void AccessibilityPermissionManager::stopPolling()
{
    if (!m_pollTimer)
        return;
    m_pollTimer->stop();
    m_pollTimer->deleteLater();
    m_pollTimer = nullptr;
}

void AccessibilityPermissionManager::requestPermission()
{
    checkPermission();
    openSystemAccessibilitySettings();
    QTimer::singleShot(1000, this, [this] { checkPermission(); });
}

void AccessibilityPermissionManager::openSystemAccessibilitySettings()
{
    // There is no settings page that grants this on X11: the guide explains
    // what the X server lacks.
    logLine(
        QStringLiteral("[AccessibilityPermissionManager] No accessibility settings page on this desktop: ") +
        (m_granted ? QStringLiteral("input access is available") : missingReason()));
    Q_EMIT permissionGuideRequested();
}

QStringList AccessibilityPermissionManager::relaunchCommand(const QString& program,
                                                            const QStringList& arguments, qint64 pid)
{
    // A second Rondix hands over to a running one and exits, so the new one
    // must only start once this process is gone.
    QStringList cmd{
        QStringLiteral("-c"),
        QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 0.1; done; exec \"$0\" \"$@\"").arg(pid),
        program};
    cmd += arguments;
    return cmd;
}

void AccessibilityPermissionManager::relaunchApp()
{
    const QStringList args = QCoreApplication::arguments().mid(1);
    const bool started = QProcess::startDetached(
        QStringLiteral("/bin/sh"),
        relaunchCommand(QCoreApplication::applicationFilePath(), args, QCoreApplication::applicationPid()));
    if (!started)
        logLine(QStringLiteral("[AccessibilityPermissionManager] Failed to start a new instance."));
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}
