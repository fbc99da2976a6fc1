#pragma once

#include <functional>
#include <optional>
#include <QDBusContext>
#include <QObject>
#include <QRect>

// The running instance's face on the session bus (org.rondix.Rondix at
// /org/rondix/Rondix): later starts of the program ask it to summon, reopen or
// open the settings instead of starting a second instance. RingVisible and
// RingGeometry let scripts and tests see the ring without screen scraping.
class RondixDBusService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.rondix.Rondix")
    Q_PROPERTY(bool RingVisible READ ringVisible)
    Q_PROPERTY(QRect RingGeometry READ ringGeometry)

public:
    static const QString serviceName;
    static const QString objectPath;

    enum class Claim
    {
        Owner,        // this process now owns the name
        OtherRunning, // another instance owns it
        NoBus,        // no session bus: run without single-instance support
    };

    explicit RondixDBusService(QObject* parent = nullptr);

    // Registers the object and tries to own the name.
    Claim claim();
    // Calls `method` (Summon, Reopen, ShowSettings) on the running instance.
    static bool callRunningInstance(const QString& method, QString* error);

    std::function<bool()> ringVisibleProvider;
    std::function<QRect()> ringGeometryProvider;
    // Imports a ring file into the running store: what happened, or none with
    // the reason set. `rondix ring import` goes through this while Rondix runs.
    std::function<std::optional<QString>(const QString& path, QString* error)> importProvider;

    // Installs a market item by id from the market at the URL (empty: the
    // configured one); `done` reports success and the message to show.
    std::function<void(const QString& itemId, const QString& baseUrl,
                       std::function<void(bool ok, const QString& message)> done)>
        marketInstallProvider;

    bool ringVisible() const { return ringVisibleProvider && ringVisibleProvider(); }
    QRect ringGeometry() const { return ringGeometryProvider ? ringGeometryProvider() : QRect(); }

public Q_SLOTS:
    Q_SCRIPTABLE void Summon();
    Q_SCRIPTABLE void Reopen();
    Q_SCRIPTABLE void ShowSettings();
    Q_SCRIPTABLE QString ImportRingFile(const QString& path);
    // Replies with the outcome's text once the install ended; fails with it.
    Q_SCRIPTABLE QString InstallMarketItem(const QString& itemId, const QString& baseUrl);

Q_SIGNALS:
    void summonRequested();
    void reopenRequested();
    void settingsRequested();
};
