// The actions against a real session: Xvfb with openbox, the real X11 key
// injection, PulseAudio's null sink, GIO desktop entries and xdg-open.
#include "actions/ActionExecutor.h"
#include "actions/CoreAudioVolumeManager.h"
#include "actions/ShortcutsManager.h"
#include "actions/VolumeOSDManager.h"
#include "DesktopTools.h"
#include "platform/Platform.h"
#include "platform/pulse/PulseMixer.h"
#include "StdoutCapture.h"
#include "TestFiles.h"

#include <cmath>
#include <memory>
#include <numeric>
#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString pactl(const QString& args)
{
    return commandOutput(QStringLiteral("pactl ") + args);
}

// Each channel of the default sink, 0...1 (above 1 when boosted), as pactl reports it.
QList<double> pactlChannels()
{
    static const QRegularExpression channel(QStringLiteral(":\\s*(\\d+)\\s*/"));
    const QString firstLine = pactl("get-sink-volume @DEFAULT_SINK@").section('\n', 0, 0);
    QList<double> values;
    for (auto it = channel.globalMatch(firstLine); it.hasNext();)
        values.append(it.next().captured(1).toDouble() / 65536.0);
    return values;
}

// Their mean.
double pactlVolume()
{
    const QList<double> channels = pactlChannels();
    return channels.isEmpty() ? -1.0
                              : std::accumulate(channels.begin(), channels.end(), 0.0) / channels.size();
}

bool nearAll(const QList<double>& values, const QList<double>& expected, double tolerance = 0.002)
{
    if (values.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < values.size(); ++i)
        if (std::abs(values[i] - expected[i]) > tolerance)
            return false;
    return true;
}

bool near(std::optional<float> value, double expected, double tolerance = 0.001)
{
    return value && std::abs(*value - expected) < tolerance;
}

ActionSlot slotWith(const ActionType& action)
{
    ActionSlot s = ActionSlot::empty(0);
    s.action = action;
    s.isEnabled = true;
    return s;
}

// A key press as the client window reports it.
QString press(Qt::Key key, Qt::KeyboardModifiers mods)
{
    return QStringLiteral("%1 %2").arg(int(key)).arg(int(mods));
}

ActionSlot control(SystemControlAction action)
{
    return slotWith(ActionType::systemControl(action));
}

// A client window (actions_keyprobe) that reports the keys and text it gets, ended with this object.
class Probe
{
public:
    explicit Probe(const QStringList& args)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine())
                lines.append(QString::fromUtf8(process.readLine()).trimmed());
        });
        process.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/actions_keyprobe"), args);
    }
    ~Probe()
    {
        process.kill();
        process.waitForFinished();
    }
    // The window id once it has the keyboard, 0 before.
    quint32 readyWindow() const
    {
        return lines.value(0).startsWith(QLatin1String("ready")) ? lines.first().section(' ', 1).toUInt() : 0;
    }

    QProcess process;
    QStringList lines;
};

} // namespace

// A media player on the session bus, on a connection of its own.
class FakeMprisPlayer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus MEMBER status)
public:
    FakeMprisPlayer(const QString& name, const QString& playbackStatus)
        : status(playbackStatus)
        , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name))
    {
        m_bus.registerObject("/org/mpris/MediaPlayer2", this,
                             QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties);
        m_bus.registerService(name);
    }
    ~FakeMprisPlayer() override { QDBusConnection::disconnectFromBus(m_bus.name()); }
    QString status;
    int toggles = 0;
public Q_SLOTS:
    Q_SCRIPTABLE void PlayPause() { ++toggles; }

private:
    QDBusConnection m_bus;
};

class ActionsX11Test : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<CoreAudioVolumeManager> m_volume;
    std::unique_ptr<ShortcutsManager> m_scripts;
    std::unique_ptr<ActionExecutor> m_exec;
    std::unique_ptr<Probe> m_probe; // a client window that reports the keys and text it gets
    RunningApp m_probeApp;

    // What the recording xdg-open, the test's desktop entries and its user script were started with.
    QString callLog() const { return m_tmp.filePath(QStringLiteral("calls.log")); }
    QStringList calls() const
    {
        QFile f(callLog());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
    }
    // Key presses the client saw, modifier keys of their own left out.
    QStringList probePresses() const
    {
        static const QList<int> modifierKeys{Qt::Key_Shift,   Qt::Key_Control, Qt::Key_Meta, Qt::Key_Alt,
                                             Qt::Key_Super_L, Qt::Key_Super_R, Qt::Key_AltGr};
        QStringList presses;
        for (const QString& line : m_probe->lines)
            if (line.startsWith("press ") && !modifierKeys.contains(line.section(' ', 1, 1).toInt()))
                presses.append(line.mid(6));
        return presses;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("RONDIX_TEST_SESSION"))
            QSKIP("needs the test session (tests/session/run-session)");
        // Before anything reads them: GIO keeps the data dirs it saw first.
        const QString tmp = m_tmp.path();
        const QByteArray t = tmp.toUtf8();
        qputenv("XDG_DATA_DIRS", t + "/dirs");
        qputenv("XDG_DATA_HOME", t + "/data");
        qputenv("XDG_CONFIG_HOME", t + "/config");
        qputenv("PATH", t + "/bin:" + qgetenv("PATH"));
        const QByteArray log = " >> \"" + callLog().toUtf8() + "\"\n";
        QVERIFY(writeFile(tmp + "/bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\"" + log, true));
        QVERIFY(writeFile(tmp + "/bin/mark-launch", "#!/bin/sh\necho launched \"$@\"" + log, true));
        QVERIFY(
            writeFile(tmp + "/data/Rondix/shortcuts/Say Hello", "#!/bin/sh\necho script ran" + log, true));
        const QByteArray entry =
            "[Desktop Entry]\nType=Application\nName=Marker\nExec=" + t + "/bin/mark-launch";
        QVERIFY(writeFile(tmp + "/dirs/applications/org.example.Marker.desktop", entry + " by-id\n"));
        QVERIFY(writeFile(tmp + "/elsewhere/marker-file.desktop", entry + " by-path\n"));
        // A terminal: windows of class RondixTestTerminal belong to it.
        QVERIFY(writeFile(tmp + "/data/applications/org.example.Terminal.desktop",
                          "[Desktop Entry]\nType=Application\nName=Test Terminal\nExec=/bin/true\n"
                          "StartupWMClass=RondixTestTerminal\nCategories=System;TerminalEmulator;\n"));

        Platform& p = Platform::instance();
        QCOMPARE(p.backendName, QStringLiteral("x11"));
        QVERIFY(qobject_cast<PulseMixer*>(p.mixer));
        m_volume = std::make_unique<CoreAudioVolumeManager>(
            p.mixer, p.sounds, [](float v, bool m) { VolumeOSDManager::shared().show(v, m); });
        m_scripts = std::make_unique<ShortcutsManager>(ShortcutsManager::defaultFolder());
        InputTrust* trust = p.trust;
        m_exec = std::make_unique<ActionExecutor>(ActionExecutor::Services{
            p.keys, p.windows, p.clipboard, p.opener, p.desktopEntries, p.session, m_volume.get(),
            m_scripts.get(), [trust] { return trust->isTrusted(); }, nullptr});

        m_probe = std::make_unique<Probe>(QStringList{});
        QTRY_VERIFY_WITH_TIMEOUT(m_probe->readyWindow() != 0, 10000);
        m_probeApp.window = m_probe->readyWindow();
        m_probeApp.pid = m_probe->process.processId();
        m_probeApp = p.windows->frontmostApplication().value_or(m_probeApp);
    }

    void cleanupTestCase() { m_probe.reset(); }

    void shortcutArrivesInFocusedClient_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<KeyModifiers>("mods");
        QTest::addColumn<QString>("press");
        QTest::newRow("control+shift+C") << 8 << KeyModifiers{false, false, true, true}
                                         << press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("plain A") << 0 << KeyModifiers{} << press(Qt::Key_A, {});
        QTest::newRow("control+option+Z") << 6 << KeyModifiers{false, true, true, false}
                                          << press(Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
        QTest::newRow("F5") << 96 << KeyModifiers{} << press(Qt::Key_F5, {});
    }
    void shortcutArrivesInFocusedClient()
    {
        QFETCH(int, keyCode);
        QFETCH(KeyModifiers, mods);
        QFETCH(QString, press);
        m_probe->lines.clear();
        m_exec->execute(slotWith(ActionType::shortcut("k", quint16(keyCode), mods)), m_probeApp);
        QTRY_VERIFY_WITH_TIMEOUT(!probePresses().isEmpty(), 3000);
        QTest::qWait(200); // anything else would have arrived by now
        QCOMPARE(probePresses(), QStringList{press});
    }

    void pasteLandsInTextField()
    {
        // Select the field's text first, so the paste replaces it.
        m_exec->execute(slotWith(ActionType::shortcut("A", 0, {false, false, true, false})), m_probeApp);
        QTest::qWait(100);
        m_probe->lines.clear();
        const QString text = QStringLiteral("Grüße from Rondix ✓ & $HOME `x`");
        m_exec->execute(slotWith(ActionType::pasteText(text)), m_probeApp);
        QTRY_VERIFY_WITH_TIMEOUT(m_probe->lines.contains("text " + text), 3000);
        QCOMPARE(probePresses(), QStringList{press(Qt::Key_V, Qt::ControlModifier)});
    }

    void keysForAClosedTargetReachNoOtherWindow_data()
    {
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<QString>("logged");
        QTest::newRow("shortcut") << ActionType::shortcut("A", 0, {false, false, true, false})
                                  << "[ActionExecutor] The target window did not take the keyboard; the "
                                     "shortcut was not sent.";
        QTest::newRow("paste") << ActionType::pasteText("not for other eyes")
                               << "[ActionExecutor] The target window did not take the keyboard; the text "
                                  "was not pasted and stays on the clipboard.";
    }
    void keysForAClosedTargetReachNoOtherWindow()
    {
        QFETCH(ActionType, action);
        QFETCH(QString, logged);
        Platform& p = Platform::instance();
        // The ring was summoned over this window, which closes before the action.
        RunningApp target;
        {
            Probe gone({});
            QTRY_VERIFY_WITH_TIMEOUT(gone.readyWindow() != 0, 10000);
            QTRY_COMPARE((target = p.windows->frontmostApplication().value_or(RunningApp{})).window,
                         gone.readyWindow());
        }
        p.windows->activate(m_probeApp);
        QTRY_VERIFY_WITH_TIMEOUT(p.windows->hasKeyboardFocus(m_probeApp), 3000);
        QTest::qWait(100);
        m_probe->lines.clear();
        const QString out = captureStdout([&] {
            m_exec->execute(slotWith(action), target);
            QTest::qWait(ActionExecutor::kPasteDelayMs + ActionExecutor::kFocusWaitMs + 400);
        });
        QCOMPARE(probePresses(), QStringList());
        QCOMPARE(out, logged + '\n');
        if (const auto* paste = std::get_if<ActionType::PasteText>(&action.value))
            QCOMPARE(p.clipboard->text(), paste->content);
    }

    void pasteIntoATerminalUsesControlShiftV()
    {
        Probe terminal({QStringLiteral("--class"), QStringLiteral("RondixTestTerminal"),
                        QStringLiteral("--terminal")});
        QTRY_VERIFY_WITH_TIMEOUT(terminal.readyWindow() != 0, 10000);
        std::optional<RunningApp> target;
        QTRY_COMPARE((target = Platform::instance().windows->frontmostApplication()).value_or(RunningApp{}).window,
                     terminal.readyWindow());
        QCOMPARE(target->bundleId, QStringLiteral("org.example.Terminal"));
        terminal.lines.clear();
        const QString text = QStringLiteral("echo 'Grüße' | wc -c");
        m_exec->execute(slotWith(ActionType::pasteText(text)), target);
        // Ctrl+V would have typed "^V" there.
        QTRY_VERIFY_WITH_TIMEOUT(terminal.lines.contains("text " + text), 3000);
        QCOMPARE(terminal.lines.filter(QRegularExpression("^press 86 ")),
                 QStringList{"press " + press(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier)});
    }

    void volumeReadsBackThroughPactl()
    {
        m_volume->setVolume(0.3f);
        QTRY_VERIFY(near(pactlVolume(), 0.3));
        QVERIFY(near(m_volume->getVolume(), 0.3));
        m_volume->stepVolume(true);
        m_volume->stepVolume(true); // the second step starts from the first one's result
        QTRY_VERIFY(near(pactlVolume(), 0.425));
        m_exec->execute(control(SystemControlAction::volumeDown), std::nullopt);
        QTRY_VERIFY(near(pactlVolume(), 0.3625));
        m_volume->setVolume(1.4f);
        QTRY_VERIFY(near(pactlVolume(), 1.0));
        m_volume->setVolume(-0.5f);
        QTRY_COMPARE(pactlVolume(), 0.0);

        // Quick steps, as a scroll wheel gives them, with the server's answers
        // to earlier changes arriving in between: none may be lost.
        m_volume->setVolume(0.5f);
        for (int i = 0; i < 6; ++i) {
            m_volume->stepVolume(false);
            QTest::qWait(2);
        }
        QTRY_VERIFY(near(pactlVolume(), 0.125));
        QTest::qWait(100);
        QVERIFY(near(m_volume->getVolume(), 0.125));
        m_volume->setVolume(0.5f);
        QTRY_VERIFY(near(pactlVolume(), 0.5));
    }

    void unbalancedSinkKeepsItsBalance_data()
    {
        QTest::addColumn<QString>("channels"); // as pactl sets them, left and right
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<double>>("expected");
        const QStringList sixUp(6, QStringLiteral("up"));
        // Up moves the average and keeps the 2:1 balance; it never gets quieter.
        QTest::newRow("left full, right half, six up") << "100% 50%" << sixUp << QList<double>{4 / 3.0, 2 / 3.0};
        QTest::newRow("left full, right half, three down")
            << "100% 50%" << QStringList(3, "down") << QList<double>{0.75, 0.375};
        QTest::newRow("silent, up sets every channel") << "0% 0%" << QStringList{"up"}
                                                       << QList<double>{0.0625, 0.0625};
        QTest::newRow("one silent channel stays silent")
            << "0% 40%" << QStringList{"up"} << QList<double>{0.0, 0.525};
        // Boosted past 100 % reads as full: up leaves it alone, down comes below full.
        QTest::newRow("boosted, up keeps the boost") << "150% 150%" << sixUp << QList<double>{1.5, 1.5};
        QTest::newRow("boosted, down") << "150% 120%" << QStringList{"down"}
                                       << QList<double>{0.9375 * 150 / 135, 0.9375 * 120 / 135};
    }
    void unbalancedSinkKeepsItsBalance()
    {
        QFETCH(QString, channels);
        QFETCH(QStringList, steps);
        QFETCH(QList<double>, expected);
        // Writes of earlier tests are through before the sink is set here.
        QTRY_VERIFY(near(m_volume->getVolume(), std::min(pactlVolume(), 1.0), 0.002));
        pactl("set-sink-mute @DEFAULT_SINK@ 0");
        pactl("set-sink-volume @DEFAULT_SINK@ " + channels);
        const QList<double> start = pactlChannels();
        QCOMPARE(start.size(), 2);
        const double startAverage = std::min((start[0] + start[1]) / 2, 1.0);
        QTRY_VERIFY(near(m_volume->getVolume(), startAverage, 0.002));
        double last = startAverage;
        for (const QString& step : steps) {
            m_exec->execute(control(step == "up" ? SystemControlAction::volumeUp : SystemControlAction::volumeDown),
                            std::nullopt);
            const std::optional<float> now = m_volume->getVolume();
            QVERIFY(now);
            QVERIFY2(step == "up" ? *now >= last - 0.001 : *now <= last + 0.001,
                     qPrintable(QStringLiteral("%1 went from %2 to %3").arg(step).arg(last).arg(*now)));
            last = *now;
        }
        QTRY_VERIFY2(nearAll(pactlChannels(), expected), qPrintable(pactl("get-sink-volume @DEFAULT_SINK@")));
        pactl("set-sink-volume @DEFAULT_SINK@ 50%");
        QTRY_VERIFY(near(m_volume->getVolume(), 0.5, 0.002));
    }

    void muteReadsBackThroughPactl()
    {
        QCOMPARE(pactl("get-sink-mute @DEFAULT_SINK@"), QStringLiteral("Mute: no"));
        m_exec->execute(control(SystemControlAction::mute), std::nullopt);
        QTRY_COMPARE(pactl("get-sink-mute @DEFAULT_SINK@"), QStringLiteral("Mute: yes"));
        QVERIFY(m_volume->isMuted());
        m_volume->toggleMute();
        QTRY_COMPARE(pactl("get-sink-mute @DEFAULT_SINK@"), QStringLiteral("Mute: no"));
        m_volume->toggleMute();
        QTRY_COMPARE(pactl("get-sink-mute @DEFAULT_SINK@"), QStringLiteral("Mute: yes"));
        m_volume->setVolume(0.6f); // a volume change unmutes
        QTRY_COMPARE(pactl("get-sink-mute @DEFAULT_SINK@"), QStringLiteral("Mute: no"));
        QTRY_VERIFY(near(pactlVolume(), 0.6));
        QTRY_VERIFY(VolumeOSDManager::shared().isPanelShown());
    }

    void changesMadeElsewhereAreSeen()
    {
        pactl("set-sink-volume @DEFAULT_SINK@ 42%");
        QTRY_VERIFY(near(m_volume->getVolume(), 0.42, 0.005));
        pactl("set-sink-mute @DEFAULT_SINK@ 1");
        QTRY_VERIFY(m_volume->isMuted());
        pactl("set-sink-mute @DEFAULT_SINK@ 0");
        QTRY_VERIFY(!m_volume->isMuted());
        // A new default sink is followed.
        const QString module = pactl("load-module module-null-sink sink_name=rondix_second");
        pactl("set-sink-volume rondix_second 20%");
        pactl("set-default-sink rondix_second");
        QTRY_VERIFY(near(m_volume->getVolume(), 0.2, 0.005));
        m_volume->setVolume(0.75f);
        QTRY_VERIFY(near(pactlVolume(), 0.75));
        pactl("set-default-sink rondix_null");
        pactl("unload-module " + module);
        QTRY_VERIFY(near(m_volume->getVolume(), 0.42, 0.005));
    }

    void programsAreStarted_data()
    {
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<QStringList>("started");
        const QString folder = m_tmp.filePath(QStringLiteral("a folder"));
        const QString gone = m_tmp.filePath(QStringLiteral("gone x.txt"));
        QTest::newRow("bare host") << ActionType::openURL("  Example.org/Path?q=1&x=$(id) ")
                                   << QStringList{"https://example.org/Path?q=1&x=$(id)"};
        QTest::newRow("folder") << ActionType::openPath(folder) << QStringList{folder};
        QTest::newRow("file without a file manager opens its folder")
            << ActionType::openPath(folder + "/report 1.txt") << QStringList{folder};
        QTest::newRow("missing path opened as a file URL")
            << ActionType::openPath(gone)
            << QStringList{QUrl::fromLocalFile(gone).toString(QUrl::FullyEncoded)};
        QTest::newRow("entry by id") << ActionType::launchApp("org.example.Marker", "Marker", "")
                                     << QStringList{"launched by-id"};
        QTest::newRow("entry by file")
            << ActionType::launchApp("org.example.Unknown", "Marker",
                                     m_tmp.filePath("elsewhere/marker-file.desktop"))
            << QStringList{"launched by-path"};
        QTest::newRow("user script") << ActionType::runShortcut(" Say Hello ") << QStringList{"script ran"};
    }
    void programsAreStarted()
    {
        QFETCH(ActionType, action);
        QFETCH(QStringList, started);
        QVERIFY(writeFile(m_tmp.filePath(QStringLiteral("a folder/report 1.txt")), "x"));
        QFile::remove(callLog());
        m_exec->execute(slotWith(action), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(calls(), started, 5000);
    }

    void mediaKeyReachesThePlayingPlayer()
    {
        FakeMprisPlayer paused(QStringLiteral("org.mpris.MediaPlayer2.aaa"), QStringLiteral("Paused"));
        FakeMprisPlayer playing(QStringLiteral("org.mpris.MediaPlayer2.bbb"), QStringLiteral("Playing"));
        // The playing player gets the toggle, not the first one.
        m_exec->execute(control(SystemControlAction::mediaPlayPause), std::nullopt);
        QTRY_COMPARE(playing.toggles, 1);
        QCOMPARE(paused.toggles, 0);
        // With none playing, the first one.
        playing.status = QStringLiteral("Stopped");
        m_exec->execute(control(SystemControlAction::mediaPlayPause), std::nullopt);
        QTRY_COMPARE(paused.toggles, 1);
        QCOMPARE(playing.toggles, 1);
    }

    // Last: it points PULSE_SERVER at a server of its own for a while.
    void mixerFollowsTheServerAwayAndBack()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("pulse2"));
        const QString socket = dir + QStringLiteral("/native");
        QVERIFY(writeFile(dir + "/server.pa",
                          "load-module module-native-protocol-unix socket=" + socket.toUtf8() +
                              " auth-anonymous=1\nload-module module-null-sink sink_name=second_null\n"
                              "set-default-sink second_null\n"));
        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), dir);
        // Off the session bus, where the first server owns the PulseAudio names.
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.remove(QStringLiteral("DISPLAY"));
        server.setProcessEnvironment(env);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList args = QStringLiteral("-n -F %1/server.pa --daemonize=no --exit-idle-time=-1 "
                                                "--disallow-exit --use-pid-file=no --system=false")
                                     .arg(dir)
                                     .split(' ');
        const QByteArray savedServer = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());

        // No server yet: nothing to read or write.
        PulseMixer mixer;
        QCOMPARE(mixer.volume(), std::nullopt);
        QCOMPARE(mixer.muted(), std::nullopt);
        QVERIFY(!mixer.setVolume(0.5f));
        for (int round = 0; round < 2; ++round) {
            server.start(QStringLiteral("pulseaudio"), args);
            QVERIFY(server.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(mixer.volume().has_value(), 8000);
            QCOMPARE(mixer.muted(), std::optional<bool>(false));
            QVERIFY(mixer.setVolume(0.25f));
            QTRY_VERIFY(near(mixer.volume(), 0.25));
            server.kill();
            server.waitForFinished();
            QTRY_VERIFY_WITH_TIMEOUT(!mixer.volume().has_value(), 5000);
            QCOMPARE(mixer.muted(), std::nullopt);
        }
        qputenv("PULSE_SERVER", savedServer);
    }
};

QTEST_MAIN(ActionsX11Test)
#include "tst_actions_x11.moc"
