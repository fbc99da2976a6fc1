#pragma once

#include <functional>
#include <QMetaObject>
#include <QObject>
#include <QPoint>

class InputMonitor;

// Summons the ring with an extra mouse button. Button presses are selected on
// the X server only while a button is configured.
class MouseTriggerManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int targetButtonNumber READ targetButtonNumber WRITE setTargetButtonNumber NOTIFY
                   targetButtonNumberChanged)
public:
    explicit MouseTriggerManager(InputMonitor* input, QObject* parent = nullptr);
    ~MouseTriggerManager() override;

    static MouseTriggerManager& shared();
    static inline const QString settingsKey = QStringLiteral("rondix_mouse_trigger_button_number");

    // Called on the main thread with the pointer position read when the press
    // was handled.
    std::function<void(QPoint)> onSummon;

    int targetButtonNumber() const { return m_target; }
    void setTargetButtonNumber(int button);
    bool isConfigured() const { return m_target >= 0; }
    bool isMonitoring() const { return m_monitoring; }
    QString displayButtonName() const { return labelFor(m_target); }
    static QString labelFor(int button);

    void setupMonitor();
    void removeMonitor();

Q_SIGNALS:
    void targetButtonNumberChanged();

private:
    void handleOtherMouseDown(int button);

    InputMonitor* m_input;
    int m_target = -1;
    bool m_monitoring = false;
    QMetaObject::Connection m_connection;
};
