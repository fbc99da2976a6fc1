// Rondix's Wayland backends against a real KWin (tests/session/run-kwin-session),
// installed as the app installs them, in this process (which the session's
// desktop file grants KWin's protocols): what the session reports, the hotkey
// as a KWin script whose shortcut calls Rondix's Summon over D-Bus, and the
// window list (Plasma window management) following the focus and activating.
// Keys and clicks come from KWin's fake input (rondix_wl_input); window rules
// (kwinrulesrc) place the two test windows.
#include "WaylandTestClients.h"
#include "platform/Platform.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformTypes.h"
#include "platform/wayland/DesktopShortcutGrabber.h"

#include <QtDBus>
#include <QtTest>

using namespace WaylandTest;

namespace {
constexpr quint16 kVkSpace = 49, kVkR = 15;
const QString kAppA = QStringLiteral("org.rondix.TestA");
const QString kAppB = QStringLiteral("org.rondix.TestB");
// Where kwinrulesrc puts them.
const QPoint kCentreA(300, 150), kCentreB(980, 150);
} // namespace

// Stands where Rondix's D-Bus service stands and counts the summons.
class SummonCounter : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.rondix.Rondix")
public:
    int count = 0;
public Q_SLOTS:
    Q_SCRIPTABLE void Summon() { ++count; }
};

class TestKWinBackends : public QObject
{
    Q_OBJECT

    Input m_input;
    Target m_a, m_b;
    SummonCounter m_summons;
    Platform m_platform;

    // Presses the chord; true when it summoned exactly `expected` times more.
    bool summons(const QList<int>& modifiers, int key, int expected)
    {
        const int before = m_summons.count;
        if (!m_input.chord(modifiers, key))
            return false;
        if (expected > 0 && !QTest::qWaitFor([&] { return m_summons.count >= before + expected; }, 3000))
            return false;
        QTest::qWait(200);
        return m_summons.count == before + expected;
    }
    bool clickInto(Target& t, QPoint centre)
    {
        return m_input.move(centre) && m_input.click() && QTest::qWaitFor([&] { return (t.read(), t.active); }, 3000);
    }
    QString frontmost()
    {
        const std::optional<RunningApp> app = m_platform.windows->frontmostApplication();
        return app ? app->bundleId : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariable("RONDIX_TEST_COMPOSITOR") != QLatin1String("kwin"))
            QSKIP("needs the KWin test session (tests/session/run-kwin-session)");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerService(QStringLiteral("org.rondix.Rondix")));
        QVERIFY(bus.registerObject(QStringLiteral("/org/rondix/Rondix"), &m_summons,
                                   QDBusConnection::ExportScriptableSlots));
        QVERIFY(m_input.start());
        QVERIFY(m_a.start(kAppA));
        QVERIFY(m_b.start(kAppB));
        QVERIFY(clickInto(m_a, kCentreA));
        QVERIFY(installWaylandBackends(m_platform));
        QVERIFY(m_platform.windows && m_platform.hotkeys);
    }
    void cleanupTestCase()
    {
        m_a.stop();
        m_b.stop();
        m_input.stop();
    }

    void whatTheSessionOffers()
    {
        const SessionCapabilities& c = m_platform.capabilities;
        QCOMPARE(c.desktop, QStringLiteral("KDE Plasma"));
        QVERIFY(c.ringAtPointer && c.hotkey && c.frontmostApp && c.keys && c.clipboard);
        QVERIFY(!c.mouseButton);
        QCOMPARE(c.missing, QStringList{QStringLiteral("session.missing.mouse_button")});
        QVERIFY(m_platform.ringSurface && m_platform.keys && m_platform.clipboard);
    }

    void hotkeyFollowsTheRecordedChord()
    {
        HotkeyGrabber* grabber = m_platform.hotkeys;
        QCOMPARE(grabber->grab(kVkSpace, ModifierMask::Option), 0);
        QVERIFY(summons({kKeyLeftAlt}, kKeySpace, 1));

        // A new recording replaces the shortcut: the old chord is free again.
        QCOMPARE(grabber->grab(kVkR, ModifierMask::Control | ModifierMask::Option), 0);
        QVERIFY(summons({kKeyLeftCtrl, kKeyLeftAlt}, kKeyR, 1));
        QVERIFY(summons({kKeyLeftAlt}, kKeySpace, 0));

        grabber->ungrab();
        QVERIFY(!grabber->isGrabbed());
        QVERIFY(summons({kKeyLeftCtrl, kKeyLeftAlt}, kKeyR, 0));
    }

    void startedAgainWhileItsScriptIsLoaded()
    {
        // Rondix leaves its shortcut with KWin when it quits; the next start
        // takes it over, with the chord recorded meanwhile.
        {
            DesktopShortcutGrabber before(DesktopShortcutGrabber::Desktop::Plasma);
            QCOMPARE(before.grab(kVkSpace, ModifierMask::Option), 0);
        }
        DesktopShortcutGrabber after(DesktopShortcutGrabber::Desktop::Plasma);
        QCOMPARE(after.grab(kVkR, ModifierMask::Control | ModifierMask::Option), 0);
        QVERIFY(summons({kKeyLeftCtrl, kKeyLeftAlt}, kKeyR, 1));
        QVERIFY(summons({kKeyLeftAlt}, kKeySpace, 0));
        after.ungrab();
    }

    void windowListFollowsTheFocus()
    {
        WindowSystem* windows = m_platform.windows;
        // A was in front when the list was first read.
        QCOMPARE(frontmost(), kAppA);
        QSignalSpy changed(windows, &WindowSystem::frontmostApplicationChanged);
        QVERIFY(clickInto(m_b, kCentreB));
        QTRY_COMPARE(changed.size(), 1);
        const RunningApp b = changed.first().first().value<RunningApp>();
        QCOMPARE(b.bundleId, kAppB);
        QCOMPARE(frontmost(), kAppB);
        QVERIFY(windows->hasKeyboardFocus(b));

        // Activation through the list: A comes back to the front, as told once.
        QVERIFY(clickInto(m_a, kCentreA));
        QTRY_COMPARE(changed.size(), 2);
        const RunningApp a = changed.last().first().value<RunningApp>();
        QCOMPARE(a.bundleId, kAppA);
        QVERIFY(windows->activate(b));
        QVERIFY(QTest::qWaitFor([&] { return (m_b.read(), m_b.active); }, 3000));
        QTRY_COMPARE(frontmost(), kAppB);
        QTRY_COMPARE(changed.size(), 3);
        QTest::qWait(200);
        QCOMPARE(changed.size(), 3);

        // A closed window leaves the list.
        m_b.stop();
        QTRY_COMPARE(frontmost(), kAppA);
        QVERIFY(!windows->activate(b));
    }
};

QTEST_MAIN(TestKWinBackends)
#include "tst_kwin_backends.moc"
