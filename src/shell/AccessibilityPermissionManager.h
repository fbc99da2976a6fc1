#pragma once

#include "platform/InputTrust.h"

#include <QObject>
#include <QStringList>

class QTimer;

// Whether Rondix may read global input and post keys (XTest and XInput 2.2 on
// X11). Polls once a second only while that is missing.
class AccessibilityPermissionManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isAccessibilityGranted READ isAccessibilityGranted NOTIFY isAccessibilityGrantedChanged)
public:
    explicit AccessibilityPermissionManager(InputTrust* trust, QObject* parent = nullptr);

    static AccessibilityPermissionManager& shared();

    bool isAccessibilityGranted() const { return m_granted; }
    bool isPolling() const { return m_pollTimer != nullptr; }
    QString missingReason() const;
    // What the session offers, for the permission guide.
    InputAccess inputAccess() const;

    bool checkPermission();
    // X11 has no system prompt: re-checks, asks for the permission guide, and
    // checks again a second later.
    void requestPermission();
    void startPollingIfNeeded();
    void openSystemAccessibilitySettings();

    // Starts a new Rondix once this process has gone, then quits this one (also
    // when the new one cannot be started).
    static void relaunchApp();
    // The detached command that waits for `pid` to end and then runs `program`
    // with `arguments`.
    static QStringList relaunchCommand(const QString& program, const QStringList& arguments, qint64 pid);

Q_SIGNALS:
    // Emitted on every check, also when the answer did not change.
    void isAccessibilityGrantedChanged();
    void permissionGuideRequested();

private:
    void stopPolling();

    InputTrust* m_trust;
    bool m_granted = false;
    QTimer* m_pollTimer = nullptr;
};
