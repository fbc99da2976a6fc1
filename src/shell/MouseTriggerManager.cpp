#include "shell/MouseTriggerManager.h"

#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "platform/Platform.h"

MouseTriggerManager::MouseTriggerManager(InputMonitor* input, QObject* parent)
    : QObject(parent)
    , m_input(input)
{
    bool ok = false;
    const int stored = AppSettings::value(settingsKey, -1).toInt(&ok);
    m_target = ok ? stored : -1;
    setupMonitor();
}

MouseTriggerManager::~MouseTriggerManager()
{
    removeMonitor();
}

MouseTriggerManager& MouseTriggerManager::shared()
{
    static MouseTriggerManager* instance = new MouseTriggerManager(Platform::instance().input);
    return *instance;
}

void MouseTriggerManager::setTargetButtonNumber(int button)
{
    m_target = button;
    AppSettings::setValue(settingsKey, button);
    setupMonitor();
    Q_EMIT targetButtonNumberChanged();
}

QString MouseTriggerManager::labelFor(int button)
{
    if (button < 0)
        return L10n::string(QStringLiteral("mouse.unconfigured"), QStringLiteral("未配置"));
    switch (button) {
    case 2:
        return L10n::string(QStringLiteral("mouse.btn_middle"), QStringLiteral("滚轮中键 (按键 3)"));
    case 3:
        return L10n::string(QStringLiteral("mouse.btn_side1"), QStringLiteral("鼠标侧键 1 / 后退 (按键 4)"));
    case 4:
        return L10n::string(QStringLiteral("mouse.btn_side2"), QStringLiteral("鼠标侧键 2 / 前进 (按键 5)"));
    default:
        return L10n::format(QStringLiteral("mouse.btn_custom"), QStringLiteral("鼠标自定义按键 (编号 %d)"),
                            {button + 1});
    }
}

void MouseTriggerManager::setupMonitor()
{
    removeMonitor();
    if (m_target < 0 || !m_input)
        return;
    // Queued: the summon runs from the event loop, never inside the X event dispatch.
    m_connection = connect(
        m_input, &InputMonitor::buttonPressed, this,
        [this](int button, const QPoint&) { handleOtherMouseDown(button); }, Qt::QueuedConnection);
    m_input->setTriggerButton(m_target);
    m_input->acquireButtons(this);
    m_monitoring = true;
}

void MouseTriggerManager::removeMonitor()
{
    if (!m_monitoring)
        return;
    disconnect(m_connection);
    m_input->releaseButtons(this);
    m_input->setTriggerButton(-1);
    m_monitoring = false;
}

void MouseTriggerManager::handleOtherMouseDown(int button)
{
    // Primary and secondary buttons never summon, whatever is stored.
    if (!m_monitoring || m_target < 0 || button < 2 || button != m_target)
        return;
    // A press over Rondix's own windows is theirs (a middle-click paste into
    // a settings field), never a summon.
    if (m_input->isPointerOverOwnWindow())
        return;
    const QPoint at = m_input->pointerPosition();
    if (onSummon)
        onSummon(at);
}
