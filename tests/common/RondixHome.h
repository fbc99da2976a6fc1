#pragma once

// The real rondix binary in a private home on the test session
// (tests/session/run-session): its own settings, ring store and XDG folders,
// reached over the session bus like a user's desktop reaches it.
#include "DesktopTools.h"
#include "TestFiles.h"

#include <cmath>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class RondixHome
{
public:
    static inline const QString service = QStringLiteral("org.rondix.Rondix");
    static inline const QString objectPath = QStringLiteral("/org/rondix/Rondix");
    static QString binary() { return QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"); }

    RondixHome()
    {
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        for (const char* dir : {"CONFIG", "DATA", "CACHE"})
            env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(dir)),
                       m_dir.filePath(QString::fromLatin1(dir).toLower()));
        env.remove(QStringLiteral("RONDIX_PLATFORM"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString storePath() const { return path(QStringLiteral("data/Rondix/profiles.json")); }
    QByteArray store() const { return readFile(storePath()); }

    // English, silent, no taskbar entry; `more` is appended to [General].
    bool writeSettings(const QByteArray& more = {}) const
    {
        return writeFile(path(QStringLiteral("config/Rondix/Rondix.conf")),
                         "[General]\napp_language=en\nsoundEnabled=false\nhideDockIcon=true\n" + more);
    }

    // Puts an xdg-open first on the PATH that only writes its arguments, a
    // line per call, to the file opened() reads.
    bool recordOpens()
    {
        env.insert(QStringLiteral("PATH"), path(QStringLiteral("bin:")) + env.value(QStringLiteral("PATH")));
        return writeFile(path(QStringLiteral("bin/xdg-open")),
                         QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1'\n")
                             .arg(path(QStringLiteral("xdg-open.log")))
                             .toUtf8(),
                         true);
    }
    QString opened() const { return QString::fromUtf8(readFile(path(QStringLiteral("xdg-open.log")))); }

    // Starts rondix with both channels merged and returns what it printed up to
    // saying it is ready (empty if it never did).
    QByteArray launch(QProcess& p, const QStringList& args = {}, const QProcessEnvironment& with = {},
                      int timeoutMs = 10000) const
    {
        p.setProcessEnvironment(with.isEmpty() ? env : with);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(binary(), args);
        QByteArray log;
        const bool ready = QTest::qWaitFor(
            [&] { return (log += p.readAllStandardOutput()).contains("Application launched successfully."); },
            timeoutMs);
        return ready ? log : QByteArray();
    }

    struct Result
    {
        int status = -1; // -1: did not finish, or crashed
        QString out, err;
    };
    // Runs a rondix command to its end; the test's event loop keeps running meanwhile.
    Result run(const QStringList& args, const QProcessEnvironment& with = {}) const
    {
        QProcess p;
        p.setProcessEnvironment(with.isEmpty() ? env : with);
        p.start(binary(), args);
        Result r;
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // SIGTERM, the way a session ends it; true when it exited cleanly in time.
    static bool stop(QProcess& p)
    {
        p.terminate();
        if (p.waitForFinished(5000))
            return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        p.kill();
        p.waitForFinished(3000);
        return false;
    }

    static bool onBus() { return QDBusConnection::sessionBus().interface()->isServiceRegistered(service); }
    static QDBusMessage call(const QString& method, const QVariantList& args,
                             const QString& interface = service)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, interface, method);
        message.setArguments(args);
        return QDBusConnection::sessionBus().call(message, QDBus::Block, 10000);
    }
    // A property of the running Rondix; invalid when it did not answer.
    static QVariant property(const QString& name)
    {
        const QDBusMessage reply =
            call(QStringLiteral("Get"), {service, name}, QStringLiteral("org.freedesktop.DBus.Properties"));
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                   ? reply.arguments().first().value<QDBusVariant>().variant()
                   : QVariant();
    }
    static bool answers() { return property(QStringLiteral("RingVisible")).isValid(); }
    static bool ringVisible() { return property(QStringLiteral("RingVisible")).toBool(); }
    // The centre of the ring on screen; a null point while it is hidden.
    static QPoint ringCentre()
    {
        return qdbus_cast<QRect>(property(QStringLiteral("RingGeometry")).value<QDBusArgument>()).center();
    }
    // Sector `index` of a ring centred at `centre`: 0 is north, clockwise in 45 degree steps.
    static QPoint sectorPoint(QPoint centre, int index)
    {
        const double a = index * M_PI / 4;
        return centre + QPoint(qRound(100 * std::sin(a)), qRound(-100 * std::cos(a)));
    }
    // A first move inside the hub, then onto the sector, and a click there.
    static void clickSector(QPoint centre, int index)
    {
        movePointer(centre + QPoint(3, 3));
        QTest::qWait(30);
        movePointer(sectorPoint(centre, index));
        QTest::qWait(60);
        xdotool(QStringLiteral("click 1"));
    }

    QProcessEnvironment env;

private:
    QTemporaryDir m_dir;
};
