#include "shell/RondixDBusService.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcDBus, "rondix.shell.dbus")

const QString RondixDBusService::serviceName = QStringLiteral("org.rondix.Rondix");
const QString RondixDBusService::objectPath = QStringLiteral("/org/rondix/Rondix");

RondixDBusService::RondixDBusService(QObject* parent)
    : QObject(parent)
{}

RondixDBusService::Claim RondixDBusService::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Claim::NoBus;
    if (!bus.registerObject(objectPath, this,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableProperties)) {
        qCDebug(lcDBus) << "object path already taken in this process";
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Claim::Owner;
    bus.unregisterObject(objectPath);
    if (!reply.isValid()) {
        qCDebug(lcDBus) << "name request failed:" << reply.error().message();
        return Claim::NoBus;
    }
    return Claim::OtherRunning;
}

bool RondixDBusService::callRunningInstance(const QString& method, QString* error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, method);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (error)
            *error = reply.errorMessage();
        return false;
    }
    return true;
}

// Requests are handled after the reply has gone out, so the caller never waits
// for the ring or a window to appear.
void RondixDBusService::Summon()
{
    QTimer::singleShot(0, this, &RondixDBusService::summonRequested);
}

void RondixDBusService::Reopen()
{
    QTimer::singleShot(0, this, &RondixDBusService::reopenRequested);
}

void RondixDBusService::ShowSettings()
{
    QTimer::singleShot(0, this, &RondixDBusService::settingsRequested);
}

QString RondixDBusService::ImportRingFile(const QString& path)
{
    QString error = QStringLiteral("importing is not available");
    if (importProvider) {
        error.clear();
        if (const auto outcome = importProvider(path, &error))
            return *outcome;
    }
    if (calledFromDBus())
        sendErrorReply(QDBusError::Failed, error);
    return {};
}

QString RondixDBusService::InstallMarketItem(const QString& itemId, const QString& baseUrl)
{
    if (!calledFromDBus())
        return {};
    if (!marketInstallProvider) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("the market is not available"));
        return {};
    }
    // The download takes a while: answer when it is done, without blocking the bus.
    setDelayedReply(true);
    const QDBusMessage request = message();
    QDBusConnection bus = connection();
    marketInstallProvider(itemId, baseUrl, [request, bus](bool ok, const QString& text) mutable {
        bus.send(ok ? request.createReply(text) : request.createErrorReply(QDBusError::Failed, text));
    });
    return {};
}
