// The hotkey and the mouse trigger as sway bindings, against a real sway
// (tests/session/run-wayland-session): a bound chord summons, a replaced or
// released one no longer does, and the bound button reports its number.
#include "platform/PlatformTypes.h"
#include "platform/wayland/SwayHotkeyGrabber.h"
#include "platform/wayland/SwayInputMonitor.h"
#include "platform/wayland/SwayIpc.h"

#include <QtTest>

namespace {
const QString kInput = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix_wl_input");
const QString kTarget = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix_wl_target");
constexpr int kLeftAlt = 56, kLeftCtrl = 29, kSpace = 57, kR = 19;
constexpr int kBtnSide = 0x113, kBtnExtra = 0x114;
} // namespace

class TestSwayTriggers : public QObject
{
    Q_OBJECT

    QProcess m_input;
    QProcess m_window;
    std::unique_ptr<SwayIpc> m_ipc;

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

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("SWAYSOCK"))
            QSKIP("needs the Wayland test session (tests/session/run-wayland-session)");
        m_ipc = SwayIpc::open();
        QVERIFY(m_ipc);
        m_input.start(kInput, {QStringLiteral("1280"), QStringLiteral("800")});
        QVERIFY(QTest::qWaitFor([&] { return m_input.readAllStandardOutput().contains("ready"); }, 5000));
        // A window under the pointer: sway runs button bindings over windows.
        m_window.start(kTarget, {QStringLiteral("org.rondix.ButtonTarget")});
        QVERIFY(QTest::qWaitFor([&] { return m_window.readAllStandardOutput().contains("READY"); }, 5000));
        QTest::qWait(200);
        QVERIFY(input(QStringLiteral("move 640 400")));
    }
    void cleanupTestCase()
    {
        for (QProcess* p : {&m_input, &m_window}) {
            p->kill();
            p->waitForFinished(3000);
        }
    }

    void hotkeyFollowsTheRecordedChord()
    {
        SwayHotkeyGrabber grabber(m_ipc.get());
        QSignalSpy fired(&grabber, &HotkeyGrabber::activated);
        QCOMPARE(grabber.grab(49, ModifierMask::Option), 0);
        QCOMPARE(grabber.boundChord(), QStringLiteral("Mod1+space"));
        QVERIFY(chord({kLeftAlt}, kSpace));
        QTRY_COMPARE(fired.size(), 1);

        // A new recording replaces the binding: the old chord is free again.
        QCOMPARE(grabber.grab(15, ModifierMask::Control | ModifierMask::Option), 0);
        QVERIFY(chord({kLeftAlt}, kSpace));
        QVERIFY(chord({kLeftCtrl, kLeftAlt}, kR));
        QTRY_COMPARE(fired.size(), 2);
        QTest::qWait(150);
        QCOMPARE(fired.size(), 2);

        grabber.ungrab();
        QVERIFY(!grabber.isGrabbed());
        QVERIFY(chord({kLeftCtrl, kLeftAlt}, kR));
        QTest::qWait(200);
        QCOMPARE(fired.size(), 2);
    }

    void bindingOfAnotherProgramDoesNotSummon()
    {
        SwayHotkeyGrabber grabber(m_ipc.get());
        QSignalSpy fired(&grabber, &HotkeyGrabber::activated);
        QVERIFY(m_ipc->runCommand(QStringLiteral("bindsym Mod1+r nop someone-else")));
        QCOMPARE(grabber.grab(49, ModifierMask::Option), 0);
        QVERIFY(chord({kLeftAlt}, kR));
        QTest::qWait(200);
        QCOMPARE(fired.size(), 0);
        m_ipc->runCommand(QStringLiteral("unbindsym Mod1+r"));
    }

    void keyWithoutNameIsRefused()
    {
        SwayHotkeyGrabber grabber(m_ipc.get());
        QCOMPARE(grabber.grab(10, ModifierMask::Option), 2);
        QVERIFY(!grabber.isGrabbed());
    }

    void mouseButtonBinding()
    {
        SwayInputMonitor monitor(m_ipc.get());
        QSignalSpy pressed(&monitor, &InputMonitor::buttonPressed);
        QObject owner;
        monitor.setTriggerButton(3);
        monitor.acquireButtons(&owner);
        QCOMPARE(monitor.boundButton(), QStringLiteral("button8"));
        QVERIFY(input(QStringLiteral("down %1").arg(kBtnSide)) && input(QStringLiteral("up %1").arg(kBtnSide)));
        QTRY_COMPARE(pressed.size(), 1);
        QCOMPARE(pressed.first().at(0).toInt(), 3);

        // Another button: not bound, not reported.
        QVERIFY(input(QStringLiteral("down %1").arg(kBtnExtra)) && input(QStringLiteral("up %1").arg(kBtnExtra)));
        // The trigger moved to forward: back is free again.
        monitor.setTriggerButton(4);
        QVERIFY(input(QStringLiteral("down %1").arg(kBtnSide)) && input(QStringLiteral("up %1").arg(kBtnSide)));
        QTest::qWait(200);
        QCOMPARE(pressed.size(), 1);
        QVERIFY(input(QStringLiteral("down %1").arg(kBtnExtra)) && input(QStringLiteral("up %1").arg(kBtnExtra)));
        QTRY_COMPARE(pressed.size(), 2);
        QCOMPARE(pressed.last().at(0).toInt(), 4);

        monitor.setTriggerButton(-1);
        QVERIFY(monitor.boundButton().isEmpty());
        QVERIFY(input(QStringLiteral("down %1").arg(kBtnExtra)) && input(QStringLiteral("up %1").arg(kBtnExtra)));
        QTest::qWait(200);
        QCOMPARE(pressed.size(), 2);
        monitor.releaseButtons(&owner);
    }
};

QTEST_GUILESS_MAIN(TestSwayTriggers)
#include "tst_sway_triggers.moc"
