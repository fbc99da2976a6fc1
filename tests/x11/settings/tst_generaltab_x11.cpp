// The general tab of a running Rondix's settings window on the real X server,
// with the keyboard alone (xdotool) and AT-SPI to see where the focus is and
// what every control is called: a hotkey recorded there (also Alt+Tab, which
// openbox binds) summons the ring at once and the old chord no longer does,
// Escape keeps the old one, clearing stops both; a recorded side button
// summons; launch at login writes and removes the autostart entry; hiding
// from the taskbar acts on the open window; and the window follows the
// desktop switching between light and dark (a stand-in settings portal).
#include "SettingsWindowOnScreen.h"

#include <QRegularExpression>
#include <QSettings>
#include <QtDBus>
#include <QtTest>

using namespace SettingsWindowOnScreen;

namespace {
// The lightness (0-255) of one pixel of a window.
int lightnessAt(const QString& window, QPoint at)
{
    const QString out = commandOutput("import", {"-window", window, "-crop",
                                                 QStringLiteral("1x1+%1+%2").arg(at.x()).arg(at.y()),
                                                 "-colorspace", "Gray", "-depth", "8", "txt:-"});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\((\\d+)")).match(out.section('\n', 1));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestGeneralTabX11 : public QObject
{
    Q_OBJECT

    RondixHome m_home;
    QProcess m_rondix;
    QString m_window;
    QProcess m_portal;

    void setScheme(uint scheme)
    {
        m_portal.write(QByteArray::number(scheme) + '\n');
        QVERIFY(m_portal.waitForReadyRead(5000));
        m_portal.readAll();
    }

    QVariant stored(const QString& settingsKey)
    {
        QSettings settings(m_home.path("config/Rondix/Rondix.conf"), QSettings::IniFormat);
        return settings.value(settingsKey);
    }
    // Presses a chord (or clicks a button) away from the settings window and
    // tells whether the ring came up; closes it again.
    bool summons(const QStringList& xdotoolArgs)
    {
        commandOutput("xdotool", {"mousemove", "1380", "860"});
        QTest::qWait(100);
        commandOutput("xdotool", xdotoolArgs);
        const bool shown = QTest::qWaitFor([] { return RondixHome::ringVisible(); }, 2000);
        if (shown) {
            pressKeys("Escape");
            if (!QTest::qWaitFor([] { return !RondixHome::ringVisible(); }, 3000))
                return false;
        }
        commandOutput("xdotool", {"windowactivate", "--sync", m_window});
        QTest::qWait(200);
        return shown;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the X11 test session (tests/session/run-session)");
        QVERIFY(!RondixHome::onBus());
        // The desktop prefers light to begin with.
        m_portal.start("/usr/bin/python3", {RONDIX_SOURCE_DIR "/tests/x11/settings/fake_portal.py", "2"});
        QVERIFY(m_portal.waitForReadyRead(10000));
        QCOMPARE(m_portal.readLine().trimmed(), "ready");
        // A chord openbox leaves alone as the hotkey to replace.
        QVERIFY(m_home.writeSettings("launchAtLogin=true\nuser_configured_hotkey_v1="
                                     "\"{\\\"keyCode\\\":16,\\\"carbonModifiers\\\":6144,"
                                     "\\\"displayString\\\":\\\"\\u2303\\u2325Y\\\"}\"\n"));
        QByteArray log;
        QVERIFY(!(m_window = open(m_home, m_rondix, &log)).isEmpty());
        QVERIFY2(log.contains("Successfully registered custom hotkey"), log.constData());
        QVERIFY(summons({"key", "--clearmodifiers", "ctrl+alt+y"}));
        pressKeys("ctrl+2");
    }

    void cleanupTestCase()
    {
        RondixHome::stop(m_rondix);
        m_portal.closeWriteChannel();
        if (!m_portal.waitForFinished(3000))
            m_portal.kill();
    }

    // Every control of the tab has a name a screen reader can say.
    void accessibleNames()
    {
        QStringList unnamed;
        const QStringList names = showingNames(&unnamed);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        for (const char* expected : {"Auto", "Dark", "Start Rondix at login", "Record Again",
                                     "Click to Record a Mouse Button", "Privacy Policy: View ↗"})
            QVERIFY2(names.contains(QString::fromUtf8(expected)), expected);
    }

    // "Auto" follows the desktop: the open window turns dark and light with it.
    void windowFollowsTheDesktop()
    {
        QVERIFY(tabTo("Auto"));
        const QPoint background(12, 60); // the window's own background, beside the tab row
        QTRY_VERIFY_WITH_TIMEOUT(lightnessAt(m_window, background) > 180, 5000);
        setScheme(1);
        QTRY_VERIFY_WITH_TIMEOUT(lightnessAt(m_window, background) < 80, 5000);
        setScheme(2);
        QTRY_VERIFY_WITH_TIMEOUT(lightnessAt(m_window, background) > 180, 5000);
        // A look chosen by hand wins over the desktop's.
        QVERIFY(tabTo("Dark"));
        pressKeys("space");
        QTRY_VERIFY_WITH_TIMEOUT(lightnessAt(m_window, background) < 80, 5000);
        QCOMPARE(stored("rondix_theme_mode").toString(), "dark");
        QVERIFY(tabTo("Auto"));
        pressKeys("space");
        QTRY_VERIFY_WITH_TIMEOUT(lightnessAt(m_window, background) > 180, 5000);
    }

    void recordedHotkeyReplacesTheOld()
    {
        // While it records, the chord in force is recorded rather than
        // summoning; Escape then keeps it, grabbed again.
        QVERIFY(tabTo("Record Again"));
        pressKeys("space");
        QTest::qWait(200); // the recorder's keyboard grab is in place
        pressKeys("ctrl+alt+y");
        QTest::qWait(300);
        QVERIFY(!RondixHome::ringVisible());
        QVERIFY(tabTo("Record Again"));
        pressKeys("space");
        QTest::qWait(200);
        pressKeys("Escape");
        QVERIFY(summons({"key", "--clearmodifiers", "ctrl+alt+y"}));

        QVERIFY(tabTo("Record Again"));
        pressKeys("space");
        QTest::qWait(200);
        pressKeys("ctrl+alt+r");
        QTRY_VERIFY_WITH_TIMEOUT(stored("user_configured_hotkey_v1").toString().contains("\"keyCode\":15"), 5000);
        QVERIFY(stored("user_configured_hotkey_v1").toString().contains("\"carbonModifiers\":6144"));
        QVERIFY(summons({"key", "--clearmodifiers", "ctrl+alt+r"}));
        QVERIFY(!summons({"key", "--clearmodifiers", "ctrl+alt+y"}));

        // Openbox binds Alt+Tab for itself: the recording's grab wins over it,
        // and afterwards the raw-key fallback summons with the chord openbox keeps.
        QVERIFY(tabTo("Record Again"));
        pressKeys("space");
        QTest::qWait(200);
        pressKeys("alt+Tab");
        QTRY_VERIFY_WITH_TIMEOUT(stored("user_configured_hotkey_v1").toString().contains("\"keyCode\":48"),
                                 5000);
        QVERIFY(summons({"key", "--clearmodifiers", "alt+Tab"}));
        QVERIFY(!summons({"key", "--clearmodifiers", "ctrl+alt+r"}));

        QVERIFY(tabTo("Clear"));
        pressKeys("space");
        QTRY_VERIFY_WITH_TIMEOUT(stored("user_explicitly_cleared_hotkey").toBool(), 5000);
        QVERIFY(!summons({"key", "--clearmodifiers", "alt+Tab"}));
        QVERIFY(!summons({"key", "--clearmodifiers", "ctrl+alt+y"}));
    }

    void recordedSideButtonSummons()
    {
        QVERIFY(!summons({"click", "8"}));
        QVERIFY(tabTo("Click to Record a Mouse Button"));
        pressKeys("space");
        QTest::qWait(200);
        commandOutput("xdotool", {"click", "8"});
        QTRY_COMPARE_WITH_TIMEOUT(stored("rondix_mouse_trigger_button_number").toInt(), 3, 5000);
        QVERIFY(summons({"click", "8"}));
    }

    void systemToggles()
    {
        const QString autostart = m_home.path("config/autostart/org.rondix.Rondix.desktop");
        // On, as an earlier start registered it.
        QVERIFY(writeFile(autostart, "[Desktop Entry]\nType=Application\nName=Rondix\nExec=rondix\n"));
        QVERIFY(tabTo("Start Rondix at login"));
        pressKeys("space");
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(autostart), 5000);
        QCOMPARE(stored("launchAtLogin").toBool(), false);
        pressKeys("space");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(autostart), 5000);
        QCOMPARE(stored("launchAtLogin").toBool(), true);
        QVERIFY(readFile(autostart).contains("Exec="));

        // writeSettings() hides the window from the taskbar.
        auto skips = [&] {
            return commandOutput("xprop", {"-id", m_window, "_NET_WM_STATE"})
                .contains("_NET_WM_STATE_SKIP_TASKBAR");
        };
        QVERIFY(skips());
        QVERIFY(tabTo("Hide the settings window from the taskbar"));
        pressKeys("space");
        QTRY_VERIFY_WITH_TIMEOUT(!skips(), 5000);
        pressKeys("space");
        QTRY_VERIFY_WITH_TIMEOUT(skips(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestGeneralTabX11)
#include "tst_generaltab_x11.moc"
