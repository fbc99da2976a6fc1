// End to end on a real X server (tests/session/run-session): the real rondix
// binary, a real target window, keys and clicks injected with xdotool, the
// PulseAudio null sink for volume, a recording xdg-open for web addresses.
#include "model/ModelJson.h"
#include "model/RingProfile.h"

#include <csignal>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kService = QStringLiteral("org.rondix.Rondix");
const QString kPath = QStringLiteral("/org/rondix/Rondix");
const QString kUrl = QStringLiteral("example.org/e2e");
const QString kPaste = QStringLiteral("hello e2e");
constexpr int kNorth = 0, kEast = 2, kSouth = 4;
const QPoint kPointer(700, 450);
} // namespace

class TestE2E : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QProcessEnvironment m_env;
    QProcess m_rondix;
    QProcess m_target;
    QProcess m_wm;
    QString m_targetWindow;
    QString m_targetText;
    QString m_openLog;

    static QString run(const QString& program, const QStringList& args, int* exitCode = nullptr)
    {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(10000);
        if (exitCode)
            *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    static QString xdotool(const QStringList& args) { return run(QStringLiteral("xdotool"), args); }

    int runRondix(const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"), args);
        if (!p.waitForFinished(10000))
            return -1;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QVariant property(const QString& name)
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << kService << name;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 3000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant();
    }
    bool ringVisible() { return property(QStringLiteral("RingVisible")).toBool(); }
    QRect ringGeometry()
    {
        const QVariant v = property(QStringLiteral("RingGeometry"));
        if (v.canConvert<QDBusArgument>())
            return qdbus_cast<QRect>(v.value<QDBusArgument>());
        return v.toRect();
    }

    QString openLog()
    {
        QFile f(m_openLog);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    double sinkVolumePercent()
    {
        const QString out = run(QStringLiteral("pactl"),
                                {QStringLiteral("get-sink-volume"), QStringLiteral("@DEFAULT_SINK@")});
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("(\\d+)%")).match(out);
        return m.hasMatch() ? m.captured(1).toDouble() : -1;
    }
    void readTarget()
    {
        const QStringList lines =
            QString::fromUtf8(m_target.readAllStandardOutput()).split(QLatin1Char('\n'));
        for (const QString& line : lines)
            if (line.startsWith(QStringLiteral("TEXT:")))
                m_targetText = line.mid(5);
    }
    QString activeWindowPid()
    {
        return xdotool({QStringLiteral("getactivewindow"), QStringLiteral("getwindowpid")});
    }

    void movePointer(const QPoint& p)
    {
        xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    }

    // Shows the ring with the hotkey at `at` and returns its centre.
    QPoint summonWithHotkey(const QPoint& at = kPointer)
    {
        movePointer(at);
        xdotool({QStringLiteral("key"), QStringLiteral("alt+space")});
        if (!QTest::qWaitFor([this] { return ringVisible(); }, 3000))
            return {};
        return ringGeometry().center();
    }

    static QPoint sectorPoint(const QPoint& centre, int index)
    {
        // Sector 0 is north; they run clockwise in 45 degree steps.
        const double a = index * M_PI / 4;
        return centre + QPoint(qRound(100 * std::sin(a)), qRound(-100 * std::cos(a)));
    }

    void clickSector(const QPoint& centre, int index)
    {
        movePointer(centre + QPoint(3, 3)); // a first move inside the hub
        QTest::qWait(30);
        movePointer(sectorPoint(centre, index));
        QTest::qWait(60);
        xdotool({QStringLiteral("click"), QStringLiteral("1")});
    }

    void activateTarget()
    {
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_targetWindow});
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), QString::number(m_target.processId()), 3000);
    }

    void writeRing()
    {
        RingProfile ring = PresetProfiles::globalDefault();
        QList<ActionSlot> slots;
        for (qint64 i = 0; i < 8; ++i)
            slots << ActionSlot::empty(i);
        slots[kNorth].title = QStringLiteral("Web");
        slots[kNorth].action = ActionType::openURL(kUrl);
        slots[kNorth].isEnabled = true;
        slots[kEast].title = QStringLiteral("Paste");
        slots[kEast].action = ActionType::pasteText(kPaste);
        slots[kEast].isEnabled = true;
        slots[kSouth].title = QStringLiteral("Louder");
        slots[kSouth].action = ActionType::systemControl(SystemControlAction::volumeUp);
        slots[kSouth].isEnabled = true;
        for (const ActionSlot& s : slots)
            ring.updateSlot(s);
        const QString dir = m_tmp.filePath(QStringLiteral("data/Rondix"));
        QVERIFY(QDir().mkpath(dir));
        QFile file(dir + QStringLiteral("/profiles.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encodeRingProfiles({ring}));
    }

    // Openbox binds Alt+Space to its window menu, which would take the hotkey
    // and grab the pointer; run it for this test with that binding removed.
    void replaceWindowManager()
    {
        QFile rc(QStringLiteral("/etc/xdg/openbox/rc.xml"));
        if (!rc.open(QIODevice::ReadOnly))
            return;
        QString xml = QString::fromUtf8(rc.readAll());
        xml.replace(QRegularExpression(QStringLiteral("<keybind key=\"A-space\">.*?</keybind>"),
                                       QRegularExpression::DotMatchesEverythingOption),
                    QString());
        const QString path = m_tmp.filePath(QStringLiteral("openbox-rc.xml"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(xml.toUtf8());
        out.close();
        const QString before = run(QStringLiteral("xprop"),
                                   {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        m_wm.setStandardOutputFile(QProcess::nullDevice());
        m_wm.setStandardErrorFile(QProcess::nullDevice());
        m_wm.start(QStringLiteral("openbox"), {QStringLiteral("--replace"), QStringLiteral("--sm-disable"),
                                               QStringLiteral("--config-file"), path});
        QVERIFY(m_wm.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            run(QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}) != before &&
                run(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains(QStringLiteral("window id")),
            5000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the X11 test session (tests/session/run-session)");
        for (const char* tool : {"xdotool", "pactl", "openbox", "xprop"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value());
        QVERIFY(m_tmp.isValid());

        replaceWindowManager();

        // A private home: settings, the ring, and an xdg-open that only records.
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("HOME"), m_tmp.path());
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.filePath(QStringLiteral("config")));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_tmp.filePath(QStringLiteral("data")));
        m_env.insert(QStringLiteral("XDG_CACHE_HOME"), m_tmp.filePath(QStringLiteral("cache")));
        m_env.remove(QStringLiteral("RONDIX_PLATFORM"));
        m_env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        const QString bin = m_tmp.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        m_openLog = m_tmp.filePath(QStringLiteral("xdg-open.log"));
        QFile opener(bin + QStringLiteral("/xdg-open"));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1'\n").arg(m_openLog).toUtf8());
        opener.close();
        opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
        m_env.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + m_env.value(QStringLiteral("PATH")));

        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("config/Rondix"))));
        QFile conf(m_tmp.filePath(QStringLiteral("config/Rondix/Rondix.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\napp_language=en\nsoundEnabled=false\nhideDockIcon=true\n");
        conf.close();
        writeRing();

        run(QStringLiteral("pactl"),
            {QStringLiteral("set-sink-volume"), QStringLiteral("@DEFAULT_SINK@"), QStringLiteral("50%")});

        // The target application, focused.
        m_target.setProcessEnvironment(m_env);
        m_target.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix_e2e_target"));
        QVERIFY(m_target.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            !(m_targetWindow = xdotool({QStringLiteral("search"), QStringLiteral("--pid"),
                                        QString::number(m_target.processId()), QStringLiteral("--name"),
                                        QStringLiteral("E2E Target")}))
                 .isEmpty(),
            5000);
        m_targetWindow = m_targetWindow.split(QLatin1Char('\n')).first();
        activateTarget();

        // Rondix itself; it is ready once its name is on the bus and it said so.
        m_rondix.setProcessEnvironment(m_env);
        m_rondix.setProcessChannelMode(QProcess::SeparateChannels);
        m_rondix.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"));
        QVERIFY(m_rondix.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value(), 5000);
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += m_rondix.readAllStandardOutput()).contains("[Rondix] Application launched successfully."),
            5000);
        QVERIFY(!ringVisible());
    }

    void cleanupTestCase()
    {
        if (m_rondix.state() != QProcess::NotRunning) {
            m_rondix.terminate();
            if (!m_rondix.waitForFinished(5000))
                m_rondix.kill();
        }
        if (m_target.state() != QProcess::NotRunning) {
            m_target.kill();
            m_target.waitForFinished(3000);
        }
        if (m_wm.state() != QProcess::NotRunning) {
            // Give the session its usual window manager back for the tests after this one.
            // Detached and without our output channels, or ctest would wait for it.
            QProcess wm;
            wm.setProgram(QStringLiteral("openbox"));
            wm.setArguments({QStringLiteral("--replace"), QStringLiteral("--sm-disable")});
            wm.setStandardOutputFile(QProcess::nullDevice());
            wm.setStandardErrorFile(QProcess::nullDevice());
            wm.startDetached();
            m_wm.waitForFinished(3000);
        }
    }

    void hotkeyShowsRingAtPointer()
    {
        const QPoint centre = summonWithHotkey();
        QVERIFY(ringVisible());
        QCOMPARE(ringGeometry().size(), QSize(360, 360));
        QVERIFY2((centre - kPointer).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("centre %1,%2").arg(centre.x()).arg(centre.y())));
        // The ring never takes the keyboard from the target.
        QCOMPARE(activeWindowPid(), QString::number(m_target.processId()));
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
    }

    void openUrlSlot()
    {
        const QPoint centre = summonWithHotkey();
        QVERIFY(ringVisible());
        clickSector(centre, kNorth);
        QTRY_VERIFY_WITH_TIMEOUT(openLog().contains(QStringLiteral("https://") + kUrl), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
        QCOMPARE(openLog().count(QLatin1Char('\n')), 1);
    }

    void pasteSlotTypesIntoTarget()
    {
        activateTarget();
        const QPoint centre = summonWithHotkey();
        QVERIFY(ringVisible());
        clickSector(centre, kEast);
        QTRY_VERIFY_WITH_TIMEOUT((readTarget(), m_targetText == kPaste), 4000);
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
    }

    void volumeSlotRaisesVolumeAndStaysOpen()
    {
        const double before = sinkVolumePercent();
        QVERIFY(before >= 0);
        const QPoint centre = summonWithHotkey();
        QVERIFY(ringVisible());
        clickSector(centre, kSouth);
        QTRY_VERIFY_WITH_TIMEOUT(sinkVolumePercent() > before, 3000);
        QCOMPARE(sinkVolumePercent(), before + 6); // one step of 1/16, rounded by pactl
        QTest::qWait(400);                         // longer than the ring's fade: it must still be there
        QVERIFY(ringVisible());
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
    }

    void closingWithoutAction_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("escape") << "escape";
        QTest::newRow("move out past the ring") << "move out";
        QTest::newRow("click elsewhere") << "click";
    }

    void closingWithoutAction()
    {
        QFETCH(QString, how);
        activateTarget();
        readTarget();
        const QString opened = openLog();
        const QString text = m_targetText;
        const double volume = sinkVolumePercent();

        if (how == QLatin1String("click")) {
            // A ring at the screen centre (a second start) with the pointer far away.
            movePointer(QPoint(60, 860));
            QCOMPARE(runRondix({}), 0);
            QTRY_VERIFY_WITH_TIMEOUT(ringVisible(), 3000);
            xdotool({QStringLiteral("click"), QStringLiteral("1")});
        } else {
            const QPoint centre = summonWithHotkey();
            QVERIFY(ringVisible());
            if (how == QLatin1String("escape")) {
                xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            } else {
                movePointer(sectorPoint(centre, kEast));
                QTest::qWait(50);
                movePointer(centre + QPoint(250, 0));
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
        QTest::qWait(300); // past the paste delay: nothing may arrive late
        readTarget();
        QCOMPARE(openLog(), opened);
        QCOMPARE(m_targetText, text);
        QCOMPARE(sinkVolumePercent(), volume);
    }

    void secondStartShowsRingAtScreenCentre()
    {
        movePointer(QPoint(100, 100));
        QCOMPARE(runRondix({}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(ringVisible(), 3000);
        const QPoint centre = ringGeometry().center();
        QVERIFY2((centre - QPoint(720, 450)).manhattanLength() <= 4,
                 qPrintable(QStringLiteral("centre %1,%2").arg(centre.x()).arg(centre.y())));
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
        // Still one instance.
        QCOMPARE(m_rondix.state(), QProcess::Running);
    }

    void summonCommandShowsRingAtPointer()
    {
        const QPoint at(600, 380);
        movePointer(at);
        QCOMPARE(runRondix({QStringLiteral("summon")}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(ringVisible(), 3000);
        QVERIFY((ringGeometry().center() - at).manhattanLength() <= 2);
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
    }

    void summonFromOwnWindowTargetsPreviousApp()
    {
        activateTarget();
        readTarget();
        const QString before = m_targetText;
        QCOMPARE(runRondix({QStringLiteral("settings")}), 0);
        const QString ownPid = QString::number(m_rondix.processId());
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), ownPid, 5000);
        // "hideDockIcon" keeps the settings window off the taskbar.
        const QString settingsWindow = xdotool({QStringLiteral("getactivewindow")});
        QVERIFY(run(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), settingsWindow, QStringLiteral("_NET_WM_STATE")})
                    .contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")));

        const QPoint centre = summonWithHotkey();
        QVERIFY(ringVisible());
        clickSector(centre, kEast);
        // The paste went to the target, which was brought forward for it.
        QTRY_VERIFY_WITH_TIMEOUT((readTarget(), m_targetText == before + kPaste), 4000);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), QString::number(m_target.processId()), 3000);

        // A second start with the settings window visible raises it, no ring.
        QCOMPARE(runRondix({}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), ownPid, 3000);
        QTest::qWait(200);
        QVERIFY(!ringVisible());
    }

    void unknownArgumentsFail()
    {
        QCOMPARE(runRondix({QStringLiteral("--no-such-option")}), 2);
        QCOMPARE(m_rondix.state(), QProcess::Running);
    }

    void terminatesCleanly()
    {
        m_rondix.terminate();
        QVERIFY(m_rondix.waitForFinished(5000));
        QCOMPARE(m_rondix.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_rondix.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value(), 3000);
    }

    void runsWithoutSessionBus()
    {
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
        QProcess rondix;
        rondix.setProcessEnvironment(env);
        rondix.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"));
        QVERIFY(rondix.waitForStarted());
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += rondix.readAllStandardOutput()).contains("[Rondix] Application launched successfully."),
            5000);
        QCOMPARE(log.count("single-instance"), 1);
        QCOMPARE(rondix.state(), QProcess::Running);
        rondix.terminate();
        QVERIFY(rondix.waitForFinished(5000));
        QCOMPARE(rondix.exitCode(), 0);
    }

    void summonCommandStartsRondixWhenNoneRuns()
    {
        const QPoint at(500, 500);
        movePointer(at);
        QProcess rondix;
        rondix.setProcessEnvironment(m_env);
        rondix.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"), {QStringLiteral("summon")});
        QVERIFY(rondix.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(ringVisible(), 3000);
        QVERIFY((ringGeometry().center() - at).manhattanLength() <= 2);
        QCOMPARE(rondix.state(), QProcess::Running); // it stays, as a started Rondix does
        rondix.terminate();
        QVERIFY(rondix.waitForFinished(5000));
        QCOMPARE(rondix.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestE2E)
#include "tst_e2e.moc"
