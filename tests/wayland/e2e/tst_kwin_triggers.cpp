// The hotkey as a KWin script, against a real KWin (tests/session/run-kwin-session):
// the script's shortcut calls Rondix's Summon over D-Bus; a new recording, or
// a Rondix started again while its script is still loaded, takes the shortcut
// over; ungrab frees it. Keys come from KWin's fake input (rondix_wl_input).
#include "platform/PlatformTypes.h"
#include "platform/wayland/DesktopShortcutGrabber.h"

#include <QtDBus>
#include <QtTest>

namespace {
const QString kInput = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix_wl_input");
constexpr int kLeftAlt = 56, kLeftCtrl = 29, kSpace = 57, kR = 19;
constexpr quint16 kVkSpace = 49, kVkR = 15;
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

class TestKWinTriggers : public QObject
{
    Q_OBJECT

    QProcess m_input;
    SummonCounter m_summons;

    bool input(const QString& line)
    {
        m_input.write(line.toUtf8() + '\n');
        QByteArray answer;
        return QTest::qWaitFor([&] { return (answer += m_input.readAllStandardOutput()).contains('\n'); },
                               3000) &&
               answer.startsWith("ok");
    }
    bool chord(const QList<int>& modifiers, int key)
    {
        for (int m : modifiers)
            if (!input(QStringLiteral("keydown %1").arg(m)))
                return false;
        bool ok = input(QStringLiteral("key %1").arg(key));
        for (int m : modifiers)
            ok = input(QStringLiteral("keyup %1").arg(m)) && ok;
        return ok;
    }
    // Presses the chord; true when it summoned exactly `expected` times more.
    bool summons(const QList<int>& modifiers, int key, int expected)
    {
        const int before = m_summons.count;
        if (!chord(modifiers, key))
            return false;
        if (expected > 0 && !QTest::qWaitFor([&] { return m_summons.count >= before + expected; }, 3000))
            return false;
        QTest::qWait(200);
        return m_summons.count == before + expected;
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
        m_input.start(kInput, {QStringLiteral("1280"), QStringLiteral("800")});
        QVERIFY(QTest::qWaitFor([&] { return m_input.readAllStandardOutput().contains("ready"); }, 5000));
    }
    void cleanupTestCase()
    {
        m_input.kill();
        m_input.waitForFinished(3000);
    }

    void hotkeyFollowsTheRecordedChord()
    {
        DesktopShortcutGrabber grabber(DesktopShortcutGrabber::Desktop::Plasma);
        QCOMPARE(grabber.grab(kVkSpace, ModifierMask::Option), 0);
        QVERIFY(summons({kLeftAlt}, kSpace, 1));

        // A new recording replaces the shortcut: the old chord is free again.
        QCOMPARE(grabber.grab(kVkR, ModifierMask::Control | ModifierMask::Option), 0);
        QVERIFY(summons({kLeftCtrl, kLeftAlt}, kR, 1));
        QVERIFY(summons({kLeftAlt}, kSpace, 0));

        grabber.ungrab();
        QVERIFY(!grabber.isGrabbed());
        QVERIFY(summons({kLeftCtrl, kLeftAlt}, kR, 0));
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
        QVERIFY(summons({kLeftCtrl, kLeftAlt}, kR, 1));
        QVERIFY(summons({kLeftAlt}, kSpace, 0));
        after.ungrab();
    }
};

QTEST_GUILESS_MAIN(TestKWinTriggers)
#include "tst_kwin_triggers.moc"
