// The actions against a real session: Xvfb with openbox, the real X11 key
// injection, PulseAudio's null sink, GIO desktop entries and xdg-open.
#include "../../unit/actions/StdoutCapture.h"
#include "actions/ActionExecutor.h"
#include "actions/CoreAudioVolumeManager.h"
#include "actions/ShortcutsManager.h"
#include "actions/VolumeOSDManager.h"
#include "platform/Platform.h"
#include "platform/pulse/PulseMixer.h"

#include <cmath>
#include <memory>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Mean of the channel volumes of the default sink, 0...1, as pactl reports it.
double pactlVolume()
{
    const QString out =
        run(QStringLiteral("pactl"), {QStringLiteral("get-sink-volume"), QStringLiteral("@DEFAULT_SINK@")});
    static const QRegularExpression channel(QStringLiteral(":\\s*(\\d+)\\s*/"));
    double sum = 0;
    int n = 0;
    for (auto it = channel.globalMatch(out.section(QLatin1Char('\n'), 0, 0)); it.hasNext();) {
        sum += it.next().captured(1).toDouble();
        ++n;
    }
    return n ? sum / n / 65536.0 : -1.0;
}

bool pactlMuted()
{
    return run(QStringLiteral("pactl"), {QStringLiteral("get-sink-mute"), QStringLiteral("@DEFAULT_SINK@")})
        .contains(QLatin1String("yes"));
}

void writeFile(const QString& path, const QByteArray& content, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

ActionSlot slotWith(const ActionType& action)
{
    ActionSlot s = ActionSlot::empty(0);
    s.title = QStringLiteral("slot");
    s.action = action;
    s.isEnabled = true;
    return s;
}

bool isModifierKey(int key)
{
    return (key >= Qt::Key_Shift && key <= Qt::Key_Alt) || key == Qt::Key_Super_L || key == Qt::Key_Super_R ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

} // namespace

// Stand-ins for desktop services on the session bus, each on its own connection.
class FakeMprisPlayer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
public:
    QString status = QStringLiteral("Paused");
    int toggles = 0;
    QString playbackStatus() const { return status; }
public Q_SLOTS:
    Q_SCRIPTABLE void PlayPause() { ++toggles; }
};

class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    int locks = 0;
public Q_SLOTS:
    Q_SCRIPTABLE void Lock() { ++locks; }
};

class FakeScreenshotPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    QList<bool> interactive;
public Q_SLOTS:
    Q_SCRIPTABLE QDBusObjectPath Screenshot(const QString&, const QVariantMap& options)
    {
        interactive.append(options.value(QStringLiteral("interactive")).toBool());
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t"));
    }
};

class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

class FakeGnomeShell : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell")
    Q_PROPERTY(bool OverviewActive READ overviewActive WRITE setOverviewActive)
public:
    bool active = false;
    int writes = 0;
    bool overviewActive() const { return active; }
    void setOverviewActive(bool a)
    {
        active = a;
        ++writes;
    }
};

class FakeKRunner : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner.App")
public:
    int displays = 0;
public Q_SLOTS:
    Q_SCRIPTABLE void display() { ++displays; }
};

// Owns one bus name on a private connection to the session bus.
struct BusService
{
    QDBusConnection connection;
    BusService(const QString& name, const QString& path, QObject* object)
        : connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name))
    {
        connection.registerObject(
            path, object, QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties);
        connection.registerService(name);
    }
    ~BusService()
    {
        connection.unregisterService(connection.name());
        QDBusConnection::disconnectFromBus(connection.name());
    }
};

class ActionsX11Test : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<CoreAudioVolumeManager> m_volume;
    std::unique_ptr<ShortcutsManager> m_scripts;
    std::unique_ptr<ActionExecutor> m_exec;
    QProcess m_probe;
    QStringList m_probeLines;
    quint32 m_probeWindow = 0;

    QString xdgLog() const { return m_tmp.filePath(QStringLiteral("xdg-open.log")); }
    QStringList xdgOpenCalls() const
    {
        QFile f(xdgLog());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void readProbe()
    {
        while (m_probe.canReadLine())
            m_probeLines.append(QString::fromUtf8(m_probe.readLine()).trimmed());
    }
    QList<QPair<int, int>> probePresses() const
    {
        QList<QPair<int, int>> presses;
        for (const QString& line : m_probeLines) {
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() == 3 && parts[0] == QLatin1String("press") && !isModifierKey(parts[1].toInt()))
                presses.append({parts[1].toInt(), parts[2].toInt()});
        }
        return presses;
    }
    std::optional<RunningApp> probeApp()
    {
        std::optional<RunningApp> front = Platform::instance().windows->frontmostApplication();
        if (!front) {
            RunningApp a;
            a.window = m_probeWindow;
            a.pid = m_probe.processId();
            front = a;
        }
        return front;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("RONDIX_TEST_SESSION"))
            QSKIP("needs the test session (tests/session/run-session)");
        // Before anything reads them: GIO keeps the data dirs it saw first.
        const QString dirs = m_tmp.filePath(QStringLiteral("dirs"));
        qputenv("XDG_DATA_DIRS", dirs.toUtf8());
        qputenv("XDG_DATA_HOME", m_tmp.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_tmp.filePath(QStringLiteral("config")).toUtf8());
        writeFile(m_tmp.filePath(QStringLiteral("bin/xdg-open")),
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + xdgLog().toUtf8() + "\"\n", true);
        qputenv("PATH", m_tmp.filePath(QStringLiteral("bin")).toUtf8() + ':' + qgetenv("PATH"));
        writeFile(m_tmp.filePath(QStringLiteral("bin/mark-launch")), "#!/bin/sh\necho \"$@\" > \"$1\"\n",
                  true);
        writeFile(dirs + QStringLiteral("/applications/org.example.Marker.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Marker\nExec=" +
                      m_tmp.filePath(QStringLiteral("bin/mark-launch")).toUtf8() + " " +
                      m_tmp.filePath(QStringLiteral("launched-by-id")).toUtf8() + "\n");
        writeFile(m_tmp.filePath(QStringLiteral("elsewhere/marker-file.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Marker by file\nExec=" +
                      m_tmp.filePath(QStringLiteral("bin/mark-launch")).toUtf8() + " " +
                      m_tmp.filePath(QStringLiteral("launched-by-path")).toUtf8() + "\n");

        Platform& p = Platform::instance();
        QCOMPARE(p.backendName, QStringLiteral("x11"));
        QVERIFY(qobject_cast<PulseMixer*>(p.mixer));
        m_volume = std::make_unique<CoreAudioVolumeManager>(
            p.mixer, p.sounds, [](float v, bool m) { VolumeOSDManager::shared().show(v, m); });
        m_scripts = std::make_unique<ShortcutsManager>(ShortcutsManager::defaultFolder());
        ActionExecutor::Services s;
        s.keys = p.keys;
        s.windows = p.windows;
        s.clipboard = p.clipboard;
        s.opener = p.opener;
        s.desktopEntries = p.desktopEntries;
        s.session = p.session;
        s.volume = m_volume.get();
        s.shortcuts = m_scripts.get();
        InputTrust* trust = p.trust;
        s.checkTrust = [trust] { return trust->isTrusted(); };
        m_exec = std::make_unique<ActionExecutor>(std::move(s));

        connect(&m_probe, &QProcess::readyReadStandardOutput, this, &ActionsX11Test::readProbe);
        m_probe.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/actions_keyprobe"), {});
        QVERIFY(m_probe.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            !m_probeLines.isEmpty() && m_probeLines.first().startsWith(QLatin1String("ready")), 10000);
        m_probeWindow = m_probeLines.first().section(QLatin1Char(' '), 1).toUInt();
    }

    void cleanupTestCase()
    {
        m_probe.kill();
        m_probe.waitForFinished();
    }

    void shortcutArrivesInFocusedClient_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<KeyModifiers>("mods");
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("qtMods");
        QTest::newRow("control+shift+C") << 8 << KeyModifiers{false, false, true, true} << int(Qt::Key_C)
                                         << int(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("plain A") << 0 << KeyModifiers{} << int(Qt::Key_A) << 0;
        QTest::newRow("control+option+Z") << 6 << KeyModifiers{false, true, true, false} << int(Qt::Key_Z)
                                          << int(Qt::ControlModifier | Qt::AltModifier);
        QTest::newRow("control+space") << 49 << KeyModifiers{false, false, true, false} << int(Qt::Key_Space)
                                       << int(Qt::ControlModifier);
        QTest::newRow("F5") << 96 << KeyModifiers{} << int(Qt::Key_F5) << 0;
    }
    void shortcutArrivesInFocusedClient()
    {
        QFETCH(int, keyCode);
        QFETCH(KeyModifiers, mods);
        QFETCH(int, qtKey);
        QFETCH(int, qtMods);
        m_probeLines.clear();
        m_exec->execute(slotWith(ActionType::shortcut(QStringLiteral("k"), quint16(keyCode), mods)),
                        probeApp());
        QTRY_VERIFY_WITH_TIMEOUT(!probePresses().isEmpty(), 3000);
        QTest::qWait(200); // anything else would have arrived by now
        QCOMPARE(probePresses(), (QList<QPair<int, int>>{{qtKey, qtMods}}));
    }

    void pasteLandsInTextField()
    {
        // Select the field's text first, so the paste replaces it.
        m_exec->execute(slotWith(ActionType::shortcut(QStringLiteral("A"), 0, {false, false, true, false})),
                        probeApp());
        QTest::qWait(100);
        m_probeLines.clear();
        const QString text = QStringLiteral("Grüße from Rondix ✓ & $HOME `x`");
        m_exec->execute(slotWith(ActionType::pasteText(text)), probeApp());
        QTRY_VERIFY_WITH_TIMEOUT(m_probeLines.contains(QStringLiteral("text ") + text), 3000);
        QCOMPARE(probePresses(), (QList<QPair<int, int>>{{int(Qt::Key_V), int(Qt::ControlModifier)}}));
    }

    void volumeReadsBackThroughPactl()
    {
        m_volume->setVolume(0.3f);
        QTRY_VERIFY(std::abs(pactlVolume() - 0.3) < 0.001);
        QVERIFY(std::abs(*m_volume->getVolume() - 0.3f) < 0.001f);

        m_volume->stepVolume(true);
        m_volume->stepVolume(true); // the second step starts from the first one's result
        QTRY_VERIFY(std::abs(pactlVolume() - 0.425) < 0.001);
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::volumeDown)), std::nullopt);
        QTRY_VERIFY(std::abs(pactlVolume() - 0.3625) < 0.001);

        m_volume->setVolume(1.4f);
        QTRY_VERIFY(std::abs(pactlVolume() - 1.0) < 0.001);
        m_volume->setVolume(-0.5f);
        QTRY_VERIFY(pactlVolume() == 0.0);
        m_volume->setVolume(0.5f);
        QTRY_VERIFY(std::abs(pactlVolume() - 0.5) < 0.001);

        // Quick steps, as a scroll wheel gives them, with the server's answers
        // to earlier changes arriving in between: none may be lost.
        for (int i = 0; i < 6; ++i) {
            m_volume->stepVolume(false);
            QTest::qWait(2);
        }
        QTRY_VERIFY(std::abs(pactlVolume() - 0.125) < 0.001);
        QTest::qWait(100);
        QVERIFY(std::abs(*m_volume->getVolume() - 0.125f) < 0.001f);
        m_volume->setVolume(0.5f);
    }

    void muteReadsBackThroughPactl()
    {
        QVERIFY(!pactlMuted());
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::mute)), std::nullopt);
        QTRY_VERIFY(pactlMuted());
        QVERIFY(m_volume->isMuted());
        m_volume->toggleMute();
        QTRY_VERIFY(!pactlMuted());
        m_volume->toggleMute();
        QTRY_VERIFY(pactlMuted());
        m_volume->setVolume(0.6f); // a volume change unmutes
        QTRY_VERIFY(!pactlMuted());
        QTRY_VERIFY(std::abs(pactlVolume() - 0.6) < 0.001);
        QTRY_VERIFY(VolumeOSDManager::shared().isPanelShown());
    }

    void changesMadeElsewhereAreSeen()
    {
        run(QStringLiteral("pactl"),
            {QStringLiteral("set-sink-volume"), QStringLiteral("@DEFAULT_SINK@"), QStringLiteral("42%")});
        QTRY_VERIFY(m_volume->getVolume() && std::abs(*m_volume->getVolume() - 0.42f) < 0.005f);
        run(QStringLiteral("pactl"),
            {QStringLiteral("set-sink-mute"), QStringLiteral("@DEFAULT_SINK@"), QStringLiteral("1")});
        QTRY_VERIFY(m_volume->isMuted());
        run(QStringLiteral("pactl"),
            {QStringLiteral("set-sink-mute"), QStringLiteral("@DEFAULT_SINK@"), QStringLiteral("0")});
        QTRY_VERIFY(!m_volume->isMuted());

        // A new default sink is followed.
        const QString module =
            run(QStringLiteral("pactl"), {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                          QStringLiteral("sink_name=rondix_second")})
                .trimmed();
        run(QStringLiteral("pactl"),
            {QStringLiteral("set-sink-volume"), QStringLiteral("rondix_second"), QStringLiteral("20%")});
        run(QStringLiteral("pactl"), {QStringLiteral("set-default-sink"), QStringLiteral("rondix_second")});
        QTRY_VERIFY(m_volume->getVolume() && std::abs(*m_volume->getVolume() - 0.2f) < 0.005f);
        m_volume->setVolume(0.75f);
        QTRY_VERIFY(std::abs(pactlVolume() - 0.75) < 0.001);
        run(QStringLiteral("pactl"), {QStringLiteral("set-default-sink"), QStringLiteral("rondix_null")});
        run(QStringLiteral("pactl"), {QStringLiteral("unload-module"), module});
        QTRY_VERIFY(m_volume->getVolume() && std::abs(*m_volume->getVolume() - 0.42f) < 0.005f);
    }

    void openingReachesXdgOpen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("argument");
        const QString folder = m_tmp.filePath(QStringLiteral("a folder"));
        const QString file = m_tmp.filePath(QStringLiteral("a folder/report 1.txt"));
        QTest::newRow("bare host") << "url"
                                   << "  Example.org/Path?q=1&x=$(id) "
                                   << "https://example.org/Path?q=1&x=$(id)";
        QTest::newRow("http kept") << "url"
                                   << "http://localhost:8080/x"
                                   << "http://localhost:8080/x";
        QTest::newRow("folder") << "path" << folder << folder;
        QTest::newRow("file without a file manager opens its folder") << "path" << file << folder;
        QTest::newRow("missing path opened as a file URL")
            << "path" << m_tmp.filePath(QStringLiteral("gone x.txt"))
            << QUrl::fromLocalFile(m_tmp.filePath(QStringLiteral("gone x.txt"))).toString(QUrl::FullyEncoded);
    }
    void openingReachesXdgOpen()
    {
        QFETCH(QString, kind);
        QFETCH(QString, input);
        QFETCH(QString, argument);
        writeFile(m_tmp.filePath(QStringLiteral("a folder/report 1.txt")), "x");
        QFile::remove(xdgLog());
        const ActionType action =
            kind == QLatin1String("url") ? ActionType::openURL(input) : ActionType::openPath(input);
        m_exec->execute(slotWith(action), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(xdgOpenCalls(), QStringList{argument}, 5000);
    }

    void revealGoesToTheFileManager()
    {
        FakeFileManager fm;
        BusService service(QStringLiteral("org.freedesktop.FileManager1"),
                           QStringLiteral("/org/freedesktop/FileManager1"), &fm);
        const QString file = m_tmp.filePath(QStringLiteral("a folder/report 1.txt"));
        writeFile(file, "x");
        QFile::remove(xdgLog());
        m_exec->execute(slotWith(ActionType::openPath(file)), std::nullopt);
        QTRY_COMPARE(fm.shown, QStringList{QUrl::fromLocalFile(file).toString()});
        QTest::qWait(100);
        QVERIFY(xdgOpenCalls().isEmpty());
    }

    void launchStartsTheEntry_data()
    {
        QTest::addColumn<QString>("bundleId");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("marker");
        QTest::newRow("by id") << "org.example.Marker"
                               << ""
                               << "launched-by-id";
        QTest::newRow("by file") << "org.example.Unknown"
                                 << m_tmp.filePath(QStringLiteral("elsewhere/marker-file.desktop"))
                                 << "launched-by-path";
        QTest::newRow("missing file falls back to id")
            << "org.example.Marker" << m_tmp.filePath(QStringLiteral("nowhere.desktop")) << "launched-by-id";
    }
    void launchStartsTheEntry()
    {
        QFETCH(QString, bundleId);
        QFETCH(QString, path);
        QFETCH(QString, marker);
        const QString markerPath = m_tmp.filePath(marker);
        QFile::remove(markerPath);
        m_exec->execute(slotWith(ActionType::launchApp(bundleId, QStringLiteral("Marker"), path)),
                        std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(markerPath), 5000);
    }

    void userScriptRuns()
    {
        QVERIFY(m_scripts->ensureFolder());
        const QString marker = m_tmp.filePath(QStringLiteral("script-ran"));
        writeFile(m_scripts->folder() + QStringLiteral("/Say Hello"),
                  "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n", true);
        m_exec->execute(slotWith(ActionType::runShortcut(QStringLiteral(" Say Hello "))), std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 5000);
    }

    void showDesktopToggles()
    {
        auto showing = [] {
            return run(QStringLiteral("xprop"),
                       {QStringLiteral("-root"), QStringLiteral("_NET_SHOWING_DESKTOP")})
                .trimmed()
                .endsWith(QLatin1String("= 1"));
        };
        const bool before = showing();
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::showDesktop)), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(showing(), !before, 8000);
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::showDesktop)), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(showing(), before, 8000);
    }
    void sessionControlsReachDesktopServices()
    {
        {
            StdoutCapture out;
            m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::mediaPlayPause)),
                            std::nullopt);
            m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::lockScreen)),
                            std::nullopt);
            m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::screenshotArea)),
                            std::nullopt);
            const QStringList lines = out.lines();
            QCOMPARE(lines.size(), 3);
            QVERIFY(lines[0].startsWith(QLatin1String("[ActionExecutor] Cannot perform media_play_pause: ")));
            QVERIFY(lines[1].startsWith(QLatin1String("[ActionExecutor] Cannot perform lock_screen: ")));
            QVERIFY(lines[2].startsWith(QLatin1String("[ActionExecutor] Cannot perform screenshot_area: ")));
        }

        FakeMprisPlayer paused, playing;
        playing.status = QStringLiteral("Playing");
        FakeScreenSaver saver;
        FakeScreenshotPortal portal;
        BusService a(QStringLiteral("org.mpris.MediaPlayer2.aaa"), QStringLiteral("/org/mpris/MediaPlayer2"),
                     &paused);
        BusService b(QStringLiteral("org.mpris.MediaPlayer2.bbb"), QStringLiteral("/org/mpris/MediaPlayer2"),
                     &playing);
        BusService s(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/ScreenSaver"), &saver);
        BusService p(QStringLiteral("org.freedesktop.portal.Desktop"),
                     QStringLiteral("/org/freedesktop/portal/desktop"), &portal);

        StdoutCapture out;
        // The playing player gets the toggle, not the first one.
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::mediaPlayPause)),
                        std::nullopt);
        QTRY_COMPARE(playing.toggles, 1);
        QCOMPARE(paused.toggles, 0);
        // With none playing, the first one.
        playing.status = QStringLiteral("Stopped");
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::mediaPlayPause)),
                        std::nullopt);
        QTRY_COMPARE(paused.toggles, 1);
        QCOMPARE(playing.toggles, 1);

        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::lockScreen)), std::nullopt);
        QTRY_COMPARE(saver.locks, 1);

        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::screenshotArea)),
                        std::nullopt);
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::screenshotScreen)),
                        std::nullopt);
        QTRY_COMPARE(portal.interactive, (QList<bool>{true, false}));
        QCOMPARE(out.lines(), QStringList());
    }

    void overviewAndLauncher()
    {
        {
            StdoutCapture out;
            m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::missionControl)),
                            std::nullopt);
            m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::spotlight)),
                            std::nullopt);
            const QStringList lines = out.lines();
            QCOMPARE(lines.size(), 2);
            QVERIFY(lines[0].startsWith(QLatin1String("[ActionExecutor] Cannot perform mission_control: ")));
            QVERIFY(lines[1].startsWith(QLatin1String("[ActionExecutor] Cannot perform spotlight: ")));
        }
        FakeGnomeShell shell;
        BusService gnome(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"), &shell);
        // The overview key toggles.
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::missionControl)),
                        std::nullopt);
        QTRY_VERIFY(shell.active);
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::missionControl)),
                        std::nullopt);
        QTRY_COMPARE(shell.writes, 2);
        QVERIFY(!shell.active);
        // Without KRunner the launcher is GNOME's overview.
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::spotlight)), std::nullopt);
        QTRY_COMPARE(shell.writes, 3);
        QVERIFY(shell.active);

        FakeKRunner runner;
        BusService krunner(QStringLiteral("org.kde.krunner"), QStringLiteral("/App"), &runner);
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::spotlight)), std::nullopt);
        QTRY_COMPARE(runner.displays, 1);
        QCOMPARE(shell.writes, 3);
    }

    // Last: it points PULSE_SERVER at a server of its own for a while.
    void mixerFollowsTheServerAwayAndBack()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("pulse2"));
        QVERIFY(QDir().mkpath(dir));
        const QString socket = dir + QStringLiteral("/native");
        writeFile(dir + QStringLiteral("/server.pa"),
                  "load-module module-native-protocol-unix socket=" + socket.toUtf8() +
                      " auth-anonymous=1\nload-module module-null-sink sink_name=second_null\n"
                      "set-default-sink second_null\n");
        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), dir);
        // Off the session bus, where the first server owns the PulseAudio names.
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.remove(QStringLiteral("DISPLAY"));
        server.setProcessEnvironment(env);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList args{QStringLiteral("-n"),
                               QStringLiteral("-F"),
                               dir + QStringLiteral("/server.pa"),
                               QStringLiteral("--daemonize=no"),
                               QStringLiteral("--exit-idle-time=-1"),
                               QStringLiteral("--disallow-exit"),
                               QStringLiteral("--use-pid-file=no"),
                               QStringLiteral("--system=false")};
        auto startServer = [&] {
            server.start(QStringLiteral("pulseaudio"), args);
            QVERIFY(server.waitForStarted());
        };
        const QByteArray savedServer = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());

        // No server yet: nothing to read or write.
        PulseMixer mixer;
        QCOMPARE(mixer.volume(), std::nullopt);
        QCOMPARE(mixer.muted(), std::nullopt);
        QVERIFY(!mixer.setVolume(0.5f));

        startServer();
        QTRY_VERIFY_WITH_TIMEOUT(mixer.volume().has_value(), 8000);
        QVERIFY(mixer.setVolume(0.25f));
        QTRY_VERIFY(std::abs(*mixer.volume() - 0.25f) < 0.001f);

        server.kill();
        server.waitForFinished();
        QTRY_VERIFY_WITH_TIMEOUT(!mixer.volume().has_value(), 5000);
        QCOMPARE(mixer.muted(), std::nullopt);

        startServer();
        QTRY_VERIFY_WITH_TIMEOUT(mixer.volume().has_value(), 8000);
        QCOMPARE(mixer.muted(), std::optional<bool>(false));

        server.kill();
        server.waitForFinished();
        qputenv("PULSE_SERVER", savedServer);
    }
};

QTEST_MAIN(ActionsX11Test)
#include "tst_actions_x11.moc"
