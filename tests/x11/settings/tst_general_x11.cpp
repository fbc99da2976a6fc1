// The general page and its recorders on a real X server with openbox
// (tests/session/run-session): chords pressed with xdotool while the hotkey
// records (also one openbox binds for itself), the new chord summoning the
// ring and the old one no longer; a real side-button click recorded and then
// summoning; the autostart entry and skip-taskbar following their toggles;
// the page driven by the keyboard alone; and every control named over AT-SPI.
#include "actions/VolumeOSDManager.h"
#include "common/AppSettings.h"
#include "DesktopTools.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "l10n/L10n.h"
#include "model/RingProfile.h"
#include "platform/freedesktop/SystemAppearance.h"
#include "platform/Platform.h"
#include "settings/GeneralSettingsView.h"
#include "settings/HotkeyRecorderView.h"
#include "settings/MouseButtonRecorderView.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"
#include "shell/WindowHints.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QtTest>
#include <QVBoxLayout>

namespace {

void clickWidget(const QWidget* w)
{
    clickAt(w->mapToGlobal(w->rect().center()));
}

// Away from every window of this test, where a press summons rather than clicks.
// (Without --sync: xdotool would wait for a move that never comes when the
// pointer is there already.)
void pointerToTheDesktop()
{
    xdotool({"mousemove", "1300", "820"});
    QTest::qWait(50);
}

// The desktop's settings portal, played by a small program of its own on the
// session bus (tests/x11/settings/fake_portal.py): the colour scheme Rondix
// reads at start, and the signal a desktop sends when the user switches.
class FakeSettingsPortal
{
public:
    bool start(uint scheme)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("/usr/bin/python3",
                        {RONDIX_SOURCE_DIR "/tests/x11/settings/fake_portal.py", QString::number(scheme)});
        return m_process.waitForReadyRead(10000) && m_process.readLine().trimmed() == "ready";
    }
    void change(uint scheme)
    {
        m_process.write(QByteArray::number(scheme) + '\n');
        m_process.waitForReadyRead(5000);
        m_process.readAll();
    }
    ~FakeSettingsPortal()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }

private:
    QProcess m_process;
};

} // namespace

class TestGeneralX11 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_summons = 0;
    FakeSettingsPortal m_portal;

    bool activate(QWidget* window)
    {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return false;
        xdotool({"windowactivate", "--sync", QString::number(window->winId())});
        return QTest::qWaitForWindowActive(window);
    }

    void summon()
    {
        ++m_summons;
        WhirloPanel::shared().show(std::nullopt, PresetProfiles::globalDefault(), std::nullopt);
    }

    // Presses a chord on the desktop and tells whether the ring came up.
    bool chordSummons(const QString& chord)
    {
        WhirloPanel::shared().hide();
        const int before = m_summons;
        pointerToTheDesktop();
        xdotool({"key", "--clearmodifiers", chord});
        const bool summoned = QTest::qWaitFor([&] { return m_summons > before; }, 1500);
        if (summoned && !QTest::qWaitFor([] { return WhirloPanel::shared().isShown(); }, 1000))
            return false;
        WhirloPanel::shared().hide();
        return summoned;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs the X11 test session (tests/session/run-session)");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("xdotool is not installed");
        QVERIFY2(commandOutput("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"),
                 "a window manager must run");
        // The portal is there before Rondix first asks it (the first ring).
        QVERIFY2(m_portal.start(2), "the portal stand-in did not start");
        qputenv("RONDIX_L10N_DIR", QByteArray(RONDIX_SOURCE_DIR "/resources/l10n"));
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
        L10n::shared().setCurrentLanguage("en");
        QCOMPARE(Platform::instance().backendName, "x11");
        HotkeyManager::shared().onTrigger = [this] { summon(); };
        HotkeyManager::shared().startListening();
        MouseTriggerManager::shared().onSummon = [this](QPoint) { summon(); };
    }

    void cleanup()
    {
        WhirloPanel::shared().hide();
    }

    // A chord recorded from real key presses is grabbed at once: it summons
    // the ring, the chord it replaced no longer does, and clearing stops both.
    void recordedHotkeySummons_data()
    {
        QTest::addColumn<QString>("chord"); // xdotool key names
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("grabbed");
        QTest::newRow("control+alt+r") << "ctrl+alt+r" << "Ctrl+Alt+R" << true;
        // Openbox binds Alt+Tab for itself: the recording's grab must win over
        // it; afterwards openbox keeps the chord and the raw-key fallback
        // summons the ring.
        QTest::newRow("alt+tab") << "alt+Tab" << "Alt+Tab" << false;
        QTest::newRow("super+F5") << "super+F5" << "Super+F5" << true;
    }

    void recordedHotkeySummons()
    {
        QFETCH(QString, chord);
        QFETCH(QString, shown);
        QFETCH(bool, grabbed);
        HotkeyManager& hotkeys = HotkeyManager::shared();
        hotkeys.setCustomHotkey(16, 6144, "⌃⌥Y");
        QVERIFY(hotkeys.isGrabbed());
        QVERIFY(chordSummons("ctrl+alt+y"));

        QWidget window;
        window.setWindowTitle("Rondix general test");
        auto* layout = new QVBoxLayout(&window);
        auto* recorder = new HotkeyRecorderView(&hotkeys);
        layout->addWidget(recorder);
        window.resize(520, 80);
        QVERIFY(activate(&window));
        clickWidget(recorder->findChild<QAbstractButton*>("hotkeyReRecord"));
        QTRY_VERIFY(recorder->isRecording());
        QTest::qWait(100); // the grab is in place once the server has answered it
        xdotool({"key", "--clearmodifiers", chord});
        QTRY_VERIFY(!recorder->isRecording());
        QVERIFY(!recorder->holdsKeyboardGrab());
        QCOMPARE(recorder->findChild<QLabel*>("hotkeyCurrent")->text(), shown);
        // The window manager saw nothing: the window is still in front.
        QCOMPARE(xdotool(QStringList{"getactivewindow"}), QString::number(window.winId()));
        QCOMPARE(hotkeys.isGrabbed(), grabbed);
        QCOMPARE(hotkeys.isFallbackActive(), !grabbed);

        QVERIFY(chordSummons(chord));
        QVERIFY(!chordSummons("ctrl+alt+y"));

        recorder->findChild<QAbstractButton*>("hotkeyClear")->click();
        QVERIFY(!chordSummons(chord));
        QVERIFY(!chordSummons("ctrl+alt+y"));
    }

    // Escape alone during a recording keeps the chord in force, grabbed again.
    void escapeKeepsTheHotkey()
    {
        HotkeyManager& hotkeys = HotkeyManager::shared();
        hotkeys.setCustomHotkey(15, 6144, "⌃⌥R");
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* recorder = new HotkeyRecorderView(&hotkeys);
        layout->addWidget(recorder);
        QVERIFY(activate(&window));
        clickWidget(recorder->findChild<QAbstractButton*>("hotkeyReRecord"));
        QTRY_VERIFY(recorder->isRecording());
        QTest::qWait(100);
        // While it records, the chord in force is recorded, not a summon.
        const int before = m_summons;
        xdotool({"key", "--clearmodifiers", "ctrl+alt+r"});
        QTRY_VERIFY(!recorder->isRecording());
        QTest::qWait(300);
        QCOMPARE(m_summons, before);
        QTest::qWait(500); // past the double-click time: a new click, not a second one
        clickWidget(recorder->findChild<QAbstractButton*>("hotkeyReRecord"));
        QTRY_VERIFY(recorder->isRecording());
        QTest::qWait(100);
        xdotool({"key", "Escape"});
        QTRY_VERIFY(!recorder->isRecording());
        QCOMPARE(hotkeys.currentHotkey()->displayString, "⌃⌥R");
        QVERIFY(chordSummons("ctrl+alt+r"));
    }

    // A real side-button click is recorded as that button and then summons.
    void recordedMouseButtonSummons()
    {
        MouseTriggerManager& mouse = MouseTriggerManager::shared();
        mouse.setTargetButtonNumber(-1);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* recorder = new MouseButtonRecorderView(&mouse, Platform::instance().input);
        layout->addWidget(recorder);
        window.resize(460, 80);
        QVERIFY(activate(&window));
        const int summonsBefore = m_summons;
        clickWidget(recorder->findChild<QAbstractButton*>("mouseRecord"));
        QTRY_VERIFY(recorder->isRecording());
        QTest::qWait(100);
        xdotool({"click", "8"}); // X button 8: back, the first side button
        QTRY_VERIFY(!recorder->isRecording());
        QCOMPARE(mouse.targetButtonNumber(), 3);
        QCOMPARE(recorder->findChild<QAbstractButton*>("mouseRecord")->text(), "Side Button 1 / Back (Button 4)");
        QCOMPARE(m_summons, summonsBefore); // recording is no summon
        QCOMPARE(AppSettings::value(MouseTriggerManager::settingsKey).toInt(), 3);

        const int before = m_summons;
        pointerToTheDesktop();
        xdotool({"click", "8"});
        QTRY_COMPARE(m_summons, before + 1);
        QTRY_VERIFY(WhirloPanel::shared().isShown());
        WhirloPanel::shared().hide();

        recorder->findChild<QAbstractButton*>("mouseClear")->click();
        pointerToTheDesktop();
        xdotool({"click", "8"});
        QTest::qWait(300);
        QCOMPARE(m_summons, before + 1);
    }

    // "Follow the system": the desktop switching between light and dark
    // re-themes the ring and the volume indicator on screen, and the next ring.
    void systemThemeFollowsThePortal()
    {
        AppSettings::setValue("rondix_theme_mode", "system");
        m_portal.change(2);
        WhirloPanel::shared().show(QPoint(400, 400), PresetProfiles::globalDefault(), std::nullopt);
        QTRY_VERIFY(WhirloPanel::shared().hud());
        QTRY_VERIFY(!WhirloPanel::shared().hud()->isDarkMode());
        VolumeOSDManager osd;
        osd.show(0.5f, false);
        QTRY_VERIFY(osd.panel());
        QTRY_VERIFY(!osd.panel()->isDarkMode());

        // Rondix has read the portal's answer before the desktop switches.
        QTRY_COMPARE(SystemAppearance::shared().portalColorScheme(), 2);
        m_portal.change(1);
        QTRY_VERIFY(WhirloPanel::shared().hud()->isDarkMode());
        QTRY_VERIFY(osd.panel()->isDarkMode());
        WhirloPanel::shared().hide();
        WhirloPanel::shared().show(QPoint(400, 400), PresetProfiles::globalDefault(), std::nullopt);
        QTRY_VERIFY(WhirloPanel::shared().hud() && WhirloPanel::shared().hud()->isDarkMode());

        // A theme chosen by hand wins over the desktop, at once.
        AppSettings::setValue("rondix_theme_mode", "light");
        QVERIFY(!WhirloPanel::shared().hud()->isDarkMode());
        QVERIFY(!osd.panel()->isDarkMode());
        AppSettings::setValue("rondix_theme_mode", "system");
        QVERIFY(WhirloPanel::shared().hud()->isDarkMode());
        m_portal.change(2);
        QTRY_VERIFY(!WhirloPanel::shared().hud()->isDarkMode());
        WhirloPanel::shared().hide();
    }

    // The whole page with the keyboard alone, the toggles acting on the
    // desktop, and the controls' names as a screen reader hears them.
    void pageByKeyboardAndScreenReader()
    {
        auto* window = new QWidget;
        window->setWindowTitle("Rondix general page");
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* page = new GeneralSettingsView;
        layout->addWidget(page);
        window->resize(760, 860);
        QVERIFY(activate(window));

        // Tab walks every control once round; Space works them.
        QSet<QString> visited;
        for (int i = 0; i < 60; ++i) {
            xdotool({"key", "Tab"});
            QTest::qWait(20);
            if (QWidget* f = QApplication::focusWidget())
                visited.insert(f->objectName());
        }
        for (const char* name : {"themeCard_system", "themeCard_light", "themeCard_dark", "generalLanguage",
                                 "generalLaunchAtLogin", "generalHideDock", "generalSound", "hotkeyReRecord",
                                 "mouseRecord", "generalPrivacyGuide", "generalTermsLink", "generalPrivacyLink"})
            QVERIFY2(visited.contains(QLatin1String(name)), name);

        auto focusOn = [&](const char* name) {
            for (int i = 0; i < 60 && QApplication::focusWidget()->objectName() != QLatin1String(name); ++i) {
                xdotool({"key", "Tab"});
                QTest::qWait(20);
            }
            return QApplication::focusWidget()->objectName() == QLatin1String(name);
        };
        QVERIFY(focusOn("themeCard_dark"));
        xdotool({"key", "space"});
        QTRY_COMPARE(AppSettings::value("rondix_theme_mode").toString(), "dark");

        // Launch at login: the autostart entry goes and comes back.
        const QString autostart = m_dir.filePath("config/autostart/org.rondix.Rondix.desktop");
        auto* login = page->findChild<QCheckBox*>("generalLaunchAtLogin");
        if (!login->isChecked())
            login->click();
        QVERIFY(focusOn("generalLaunchAtLogin"));
        xdotool({"key", "space"});
        QTRY_VERIFY(!login->isChecked());
        QVERIFY(!QFileInfo::exists(autostart));
        xdotool({"key", "space"});
        QTRY_VERIFY(login->isChecked());
        QVERIFY(QFileInfo::exists(autostart));

        // Hide from the taskbar: the open window carries skip-taskbar at once.
        QVERIFY(focusOn("generalHideDock"));
        xdotool({"key", "space"});
        QTRY_VERIFY(commandOutput("xprop", {"-id", QString::number(window->winId()), "_NET_WM_STATE"})
                        .contains("_NET_WM_STATE_SKIP_TASKBAR"));
        xdotool({"key", "space"});
        QTRY_VERIFY(!commandOutput("xprop", {"-id", QString::number(window->winId()), "_NET_WM_STATE"})
                         .contains("_NET_WM_STATE_SKIP_TASKBAR"));

        // Every control is named over AT-SPI.
        QProcess atspi;
        atspi.setProcessChannelMode(QProcess::SeparateChannels);
        atspi.start("/usr/bin/python3", {RONDIX_SOURCE_DIR "/tests/x11/settings/atspi_names.py",
                                QCoreApplication::applicationName()});
        QTRY_VERIFY_WITH_TIMEOUT(atspi.state() == QProcess::NotRunning, 30000);
        const QString err = QString::fromUtf8(atspi.readAllStandardError());
        QVERIFY2(atspi.exitCode() == 0, qPrintable(err));
        const QStringList lines = QString::fromUtf8(atspi.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 12, qPrintable(lines.join('\n')));
        QStringList unnamed;
        for (const QString& line : lines)
            if (line.section('\t', 1).trimmed().isEmpty())
                unnamed << line;
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join('\n')));
        QVERIFY2(lines.contains("check box\tStart Rondix at login"), qPrintable(lines.join('\n')));
        QVERIFY2(lines.contains("check box\tDark"), qPrintable(lines.join('\n')));
        QVERIFY2(lines.contains("push button\tPrivacy Policy: View ↗"), qPrintable(lines.join('\n')));
        delete window;
    }
};

QTEST_MAIN(TestGeneralX11)
#include "tst_general_x11.moc"
