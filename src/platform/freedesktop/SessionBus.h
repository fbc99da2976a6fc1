#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QString>

// Whether a session-bus name has an owner now or, with `activatable`, would be
// started by the bus on the first call.
inline bool sessionServiceAvailable(const QString& name, bool activatable = false)
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return false;
    if (bus->isServiceRegistered(name).value())
        return true;
    return activatable && bus->activatableServiceNames().value().contains(name);
}
