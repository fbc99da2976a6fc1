#include "platform/InputMonitor.h"

void InputMonitor::acquireKeys(const QObject* owner)
{
    const bool was = keysSelected();
    m_keyOwners.insert(owner);
    if (!was)
        applyKeySelection(true);
}

void InputMonitor::releaseKeys(const QObject* owner)
{
    if (!m_keyOwners.remove(owner))
        return;
    if (!keysSelected())
        applyKeySelection(false);
}

void InputMonitor::acquireButtons(const QObject* owner)
{
    const bool was = buttonsSelected();
    m_buttonOwners.insert(owner);
    if (!was)
        applyButtonSelection(true);
}

void InputMonitor::releaseButtons(const QObject* owner)
{
    if (!m_buttonOwners.remove(owner))
        return;
    if (!buttonsSelected())
        applyButtonSelection(false);
}
