// End to end on a real X server (tests/session/run-session): the real rondix
// binary, a real target window, keys and clicks injected with xdotool, the
// PulseAudio null sink for volume, a recording xdg-open for web addresses.
#include "DesktopTools.h"
#include "model/ModelJson.h"
#include "model/RingProfile.h"
#include "RondixHome.h"

#include <QtDBus>
#include <QtTest>

namespace {
// The query is the user's business: it reaches the browser, never a log.
const QString kQuery = QStringLiteral("q=private-term");
const QString kUrl = QStringLiteral("example.org/e2e?") + kQuery;
const QString kPaste = QStringLiteral("hello e2e");
constexpr int kNorth = 0, kEast = 2, kSouth = 4;
const QPoint kPointer(700, 450);

} // namespace

class TestE2E : public QObject
{
    Q_OBJECT

    RondixHome m_home;
    QProcess m_rondix;
    QByteArray m_rondixLog; // all it wrote, both channels
    QProcess m_target;
    QString m_targetWindow;
    QString m_targetText;
    bool m_ownWindowManager = false;

    static bool near(QPoint a, QPoint b, int by = 2) { return (a - b).manhattanLength() <= by; }
    static bool onBus() { return RondixHome::onBus(); }
    static QVariant property(const QString& name) { return RondixHome::property(name); }
    int runRondix(const QStringList& args) { return m_home.run(args).status; }
    static bool ringVisible() { return RondixHome::ringVisible(); }
    static QPoint ringCentre() { return RondixHome::ringCentre(); }
    // What the ring's actions could change: opened addresses, the target's text, the volume.
    QStringList effects()
    {
        for (const QString& line :
             QString::fromUtf8(m_target.readAllStandardOutput()).split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("text ")))
                m_targetText = line.mid(5);
        const QString opened = m_home.opened();
        const QRegularExpressionMatch volume =
            QRegularExpression(QStringLiteral("(\\d+)%"))
                .match(commandOutput(QStringLiteral("pactl get-sink-volume @DEFAULT_SINK@")));
        return {opened, m_targetText, volume.captured(1)};
    }
    QString activeWindowPid() { return xdotool(QStringLiteral("getactivewindow getwindowpid")); }

    // Shows the ring with the hotkey at `at` and returns its centre.
    QPoint summonWithHotkey(const QPoint& at = kPointer)
    {
        movePointer(at);
        xdotool(QStringLiteral("key alt+space"));
        return QTest::qWaitFor([this] { return ringVisible(); }, 3000) ? ringCentre() : QPoint();
    }
    static QPoint sectorPoint(QPoint centre, int index) { return RondixHome::sectorPoint(centre, index); }
    static void clickSector(QPoint centre, int index) { RondixHome::clickSector(centre, index); }
    void activateTarget()
    {
        xdotool(QStringLiteral("windowactivate --sync ") + m_targetWindow);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), QString::number(m_target.processId()), 3000);
    }

    void writeRing()
    {
        const QMap<qint64, ActionType> actions{
            {kNorth, ActionType::openURL(kUrl)},
            {kEast, ActionType::pasteText(kPaste)},
            {kSouth, ActionType::systemControl(SystemControlAction::volumeUp)}};
        RingProfile ring = PresetProfiles::globalDefault();
        for (qint64 i = 0; i < 8; ++i) {
            ActionSlot slot = ActionSlot::empty(i);
            slot.title = QString::number(i);
            slot.action = actions.value(i, slot.action);
            slot.isEnabled = actions.contains(i);
            ring.updateSlot(slot);
        }
        QVERIFY(writeFile(m_home.storePath(), encodeRingProfiles({ring})));
    }

    // Starts openbox in place of the running window manager and waits until it has taken
    // over; detached and without our output channels, or ctest would wait for it.
    static void replaceOpenbox(const QStringList& args)
    {
        const QString check = QStringLiteral("xprop -root _NET_SUPPORTING_WM_CHECK");
        const QString before = commandOutput(check);
        QProcess wm;
        wm.setProgram(QStringLiteral("openbox"));
        wm.setArguments(QStringList{QStringLiteral("--replace"), QStringLiteral("--sm-disable")} + args);
        wm.setStandardOutputFile(QProcess::nullDevice());
        wm.setStandardErrorFile(QProcess::nullDevice());
        QVERIFY(wm.startDetached());
        QTRY_VERIFY_WITH_TIMEOUT(commandOutput(check) != before &&
                                     commandOutput(check).contains(QStringLiteral("window id")),
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
        QVERIFY(!onBus());
        // Openbox binds Alt+Space to its window menu, which would take the hotkey and grab
        // the pointer; it runs for this test with that binding removed.
        QFile rc(QStringLiteral("/etc/xdg/openbox/rc.xml"));
        QVERIFY(rc.open(QIODevice::ReadOnly));
        const QRegularExpression binding(QStringLiteral("<keybind key=\"A-space\">.*?</keybind>"),
                                         QRegularExpression::DotMatchesEverythingOption);
        QVERIFY(writeFile(m_home.path(QStringLiteral("rc.xml")),
                          QString::fromUtf8(rc.readAll()).remove(binding).toUtf8()));
        m_ownWindowManager = true;
        replaceOpenbox({QStringLiteral("--config-file"), m_home.path(QStringLiteral("rc.xml"))});

        // A private home: settings, the ring, and an xdg-open that only records.
        m_home.env.remove(QStringLiteral("QT_LOGGING_RULES"));
        // Qt's log lines to the output we read, not to the journal.
        m_home.env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        QVERIFY(m_home.recordOpens());
        QVERIFY(m_home.writeSettings());
        writeRing();
        commandOutput(QStringLiteral("pactl set-sink-volume @DEFAULT_SINK@ 50%"));

        // The target application, focused.
        QProcessEnvironment targetEnv = m_home.env;
        targetEnv.remove(QStringLiteral("QT_FORCE_STDERR_LOGGING"));
        m_target.setProcessEnvironment(targetEnv);
        m_target.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/actions_keyprobe"));
        QVERIFY(m_target.waitForStarted());
        // Generous: on a loaded machine the window manager just started, and the
        // target's first start of Qt, may take a long while.
        QTRY_VERIFY2_WITH_TIMEOUT(
            !(m_targetWindow = xdotool(QStringLiteral("search --onlyvisible --pid %1 --name keyprobe")
                                           .arg(m_target.processId())))
                 .isEmpty(),
            qPrintable(QStringLiteral("no target window; target %1, its output: %2")
                           .arg(m_target.state() == QProcess::Running ? QStringLiteral("running")
                                                                      : QStringLiteral("gone"),
                                QString::fromLocal8Bit(m_target.readAllStandardError()))),
            45000);
        m_targetWindow = m_targetWindow.split(QLatin1Char('\n')).first();
        activateTarget();

        QVERIFY(!(m_rondixLog = m_home.launch(m_rondix, {}, {}, 5000)).isEmpty());
        QVERIFY(onBus());
        QVERIFY(!ringVisible());
    }

    void cleanupTestCase()
    {
        for (QProcess* p : {&m_rondix, &m_target}) {
            p->kill();
            p->waitForFinished(3000);
        }
        if (m_ownWindowManager) // the session's usual window manager, for the tests after this one
            replaceOpenbox({});
    }

    void ringUse_data()
    {
        QTest::addColumn<QStringList>("start"); // "hotkey", or the arguments of a second rondix
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("sector");
        QTest::addColumn<QStringList>("change"); // opened address, typed text, volume step
        const QStringList hotkey{"hotkey"}, none{"", "", ""};
        QTest::newRow("open URL reaches xdg-open")
            << hotkey << "click" << kNorth << QStringList{"https://" + kUrl + "\n", "", ""};
        QTest::newRow("paste types into the target")
            << hotkey << "click" << kEast << QStringList{"", kPaste, ""};
        // One step of 1/16, rounded by pactl; the ring stays open for more.
        QTest::newRow("volume up, ring stays open")
            << hotkey << "click" << kSouth << QStringList{"", "", "6"};
        QTest::newRow("rondix summon at the pointer, escape closes")
            << QStringList{"summon"} << "escape" << -1 << none;
        QTest::newRow("moving out past the ring closes") << hotkey << "move out" << kEast << none;
        QTest::newRow("second start at the screen centre, a click elsewhere closes")
            << QStringList{} << "click" << -1 << none;
    }

    void ringUse()
    {
        QFETCH(QStringList, start);
        QFETCH(QString, how);
        QFETCH(int, sector);
        QFETCH(QStringList, change);
        activateTarget();
        QStringList expected = effects();
        expected[0] += change[0];
        expected[1] += change[1];
        expected[2] = QString::number(expected[2].toInt() + change[2].toInt());

        // A second start shows the ring at the screen centre; keep the pointer far from it.
        const QPoint pointer = start.isEmpty() ? QPoint(60, 860) : kPointer;
        QPoint centre;
        if (start == QStringList{QStringLiteral("hotkey")}) {
            centre = summonWithHotkey();
        } else {
            movePointer(pointer);
            QCOMPARE(runRondix(start), 0);
            QTRY_VERIFY_WITH_TIMEOUT(ringVisible(), 3000);
            centre = ringCentre();
        }
        QVERIFY2(near(centre, start.isEmpty() ? QPoint(720, 450) : pointer, 4),
                 qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
        // The ring never takes the keyboard from the target.
        QCOMPARE(activeWindowPid(), QString::number(m_target.processId()));
        if (how == QLatin1String("escape")) {
            xdotool(QStringLiteral("key Escape"));
        } else if (how == QLatin1String("move out")) {
            movePointer(sectorPoint(centre, sector));
            QTest::qWait(50);
            movePointer(centre + QPoint(250, 0));
        } else if (sector < 0) {
            xdotool(QStringLiteral("click 1"));
        } else {
            clickSector(centre, sector);
        }
        QTRY_COMPARE_WITH_TIMEOUT(effects(), expected, 4000);
        if (sector == kSouth) {
            QTest::qWait(400); // longer than the ring's fade: it must still be there
            QVERIFY(ringVisible());
            xdotool(QStringLiteral("key Escape"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
        QTest::qWait(300); // past the paste delay: nothing more may arrive late
        QCOMPARE(effects(), expected);
        QCOMPARE(m_rondix.state(), QProcess::Running); // still the one instance
    }

    void summonFromOwnWindowTargetsPreviousApp()
    {
        activateTarget();
        const QString before = effects()[1];
        QCOMPARE(runRondix({QStringLiteral("settings")}), 0);
        const QString ownPid = QString::number(m_rondix.processId());
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), ownPid, 5000);
        // "hideDockIcon" keeps the settings window off the taskbar.
        QVERIFY(
            commandOutput(
                QStringLiteral("xprop -id %1 _NET_WM_STATE").arg(xdotool(QStringLiteral("getactivewindow"))))
                .contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")));

        clickSector(summonWithHotkey(), kEast);
        // The paste went to the target, which was brought forward for it.
        QTRY_COMPARE_WITH_TIMEOUT(effects()[1], before + kPaste, 4000);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), QString::number(m_target.processId()), 3000);

        // A second start with the settings window visible raises it, no ring.
        QCOMPARE(runRondix({}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindowPid(), ownPid, 3000);
        QTest::qWait(200);
        QVERIFY(!ringVisible());
    }

    // An import while Rondix runs goes through the running instance, which
    // uses the imported ring at once (and keeps it on its next save).
    void importWhileRunningChangesTheRing()
    {
        RingProfile ring = PresetProfiles::globalDefault();
        ActionSlot north = *ring.slotAt(kNorth);
        north.action = ActionType::openURL(QStringLiteral("example.org/imported"));
        ring.updateSlot(north);
        QVERIFY(writeFile(m_home.path(QStringLiteral("imported.rondix")), encodeRingProfile(ring)));
        QCOMPARE(runRondix({QStringLiteral("ring"), QStringLiteral("import"),
                            m_home.path(QStringLiteral("imported.rondix"))}),
                 0);

        activateTarget();
        QStringList expected = effects();
        expected[0] += QStringLiteral("https://example.org/imported\n");
        clickSector(summonWithHotkey(), kNorth);
        QTRY_COMPARE_WITH_TIMEOUT(effects(), expected, 4000);
        QTRY_VERIFY_WITH_TIMEOUT(!ringVisible(), 2000);
    }

    // After opening an address with a query, pasting and typing: none of it, and
    // no debug line at all, reached Rondix's output.
    void logKeepsOpenedAndPastedTextsPrivate()
    {
        m_rondixLog += m_rondix.readAll();
        QVERIFY(m_rondixLog.contains("Application launched successfully."));
        QVERIFY(effects()[0].contains(kQuery)); // the address did go out whole
        for (const QString& secret : {kQuery, kPaste, QStringLiteral("xdg-open"), QStringLiteral("platform backend")})
            QVERIFY2(!QString::fromUtf8(m_rondixLog).contains(secret),
                     qPrintable(secret + QStringLiteral(" in:\n") + QString::fromUtf8(m_rondixLog)));
    }

    // At login the panel and its tray may come up after Rondix.
    void trayIconAppearsWhenATrayStartsLater()
    {
        QVERIFY2(m_rondixLog.contains("[MenuBarManager] No system tray available"), m_rondixLog.constData());
        QProcess tray;
        tray.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/e2e_tray"));
        QByteArray out;
        QVERIFY(QTest::qWaitFor([&] { return (out += tray.readAllStandardOutput()).contains("tray\n"); }, 5000));
        const QRegularExpression dock(QStringLiteral("dock (\\d+)"));
        QRegularExpressionMatch docked;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         out += tray.readAllStandardOutput();
                         return (docked = dock.match(QString::fromUtf8(out))).hasMatch();
                     },
                     5000),
                 out.constData());
        // The icon asking to be docked is Rondix's.
        QVERIFY(commandOutput(QStringLiteral("xprop -id %1 _NET_WM_PID").arg(docked.captured(1)))
                    .endsWith(QStringLiteral(" = %1").arg(m_rondix.processId())));
        tray.kill();
        tray.waitForFinished(3000);
        QCOMPARE(m_rondix.state(), QProcess::Running);
    }

    void freshStart_data()
    {
        QTest::addColumn<bool>("withBus");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("loggingRules");
        QTest::newRow("without a session bus it still runs") << false << QStringList{} << QString();
        QTest::newRow("rondix summon starts Rondix and shows the ring")
            << true << QStringList{"summon"} << QString();
        QTest::newRow("debug lines when asked for") << true << QStringList{"summon"} << "rondix.*.debug=true";
    }

    void freshStart()
    {
        QFETCH(bool, withBus);
        QFETCH(QStringList, args);
        QFETCH(QString, loggingRules);
        if (m_rondix.state() == QProcess::Running) { // SIGTERM: a clean exit that frees the name
            QVERIFY(RondixHome::stop(m_rondix));
            QTRY_VERIFY_WITH_TIMEOUT(!onBus(), 3000);
        }
        QProcessEnvironment env = m_home.env;
        if (!withBus)
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent/bus"));
        if (!loggingRules.isEmpty())
            env.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
        movePointer(QPoint(500, 500));
        QProcess rondix;
        const QByteArray log = m_home.launch(rondix, args, env, 5000);
        QVERIFY(!log.isEmpty());
        QCOMPARE(log.count("single-instance"), withBus ? 0 : 1);
        QCOMPARE(log.contains("platform backend: \"x11\""), !loggingRules.isEmpty());
        if (withBus) {
            QTRY_VERIFY_WITH_TIMEOUT(ringVisible(), 3000);
            QVERIFY(near(ringCentre(), QPoint(500, 500)));
        }
        QCOMPARE(rondix.state(), QProcess::Running); // it stays, as a started Rondix does
        QVERIFY(RondixHome::stop(rondix));
    }
};

QTEST_GUILESS_MAIN(TestE2E)
#include "tst_e2e.moc"
