#include "platform/wayland/SwayInputMonitor.h"

#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandConnection.h"

SwayInputMonitor::SwayInputMonitor(SwayIpc* ipc, QObject* parent)
    : InputMonitor(parent)
    , m_ipc(ipc)
{
    connect(m_ipc, &SwayIpc::bindingRan, this, [this](const QString& command) {
        if (!m_bound.isEmpty() && command == kCommand && buttonsSelected())
            Q_EMIT buttonPressed(m_button, QPoint());
    });
}

SwayInputMonitor::~SwayInputMonitor()
{
    unbind();
}

QString SwayInputMonitor::buttonName(int button)
{
    // X numbering, which sway uses: 2 middle, 8 back, 9 forward, 10 and up further.
    if (button == 2)
        return QStringLiteral("button2");
    if (button >= 3)
        return QStringLiteral("button%1").arg(button + 5);
    return {};
}

void SwayInputMonitor::setTriggerButton(int button)
{
    if (button == m_button && !m_bound.isEmpty())
        return;
    unbind();
    m_button = button;
    const QString name = buttonName(button);
    if (name.isEmpty())
        return;
    QString error;
    if (!m_ipc->runCommand(QStringLiteral("bindsym --whole-window %1 %2").arg(name, kCommand), &error)) {
        qCWarning(lcWayland) << "sway refused the mouse binding" << name << ":" << error;
        return;
    }
    m_bound = name;
}

void SwayInputMonitor::unbind()
{
    if (m_bound.isEmpty())
        return;
    m_ipc->runCommand(QStringLiteral("unbindsym --whole-window %1").arg(m_bound));
    m_bound.clear();
}
