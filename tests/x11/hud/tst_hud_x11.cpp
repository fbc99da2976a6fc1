#include "DesktopTools.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The ring window on a real X server with a window manager: focus, closing by
// Escape and by clicks elsewhere.
class ClientWindow : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

class TestHudX11 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<ClientWindow> m_client;
    std::unique_ptr<WhirloPanel> m_panel;
    QStringList m_executed;

    void showRing()
    {
        m_panel->show(QPoint(400, 300), PresetProfiles::globalDefault(), std::nullopt);
        QVERIFY(QTest::qWaitForWindowExposed(m_panel->window()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != "xcb"_L1)
            QSKIP("needs an X server (run inside tests/session/run-session)");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QCOMPARE(Platform::instance().backendName, u"x11"_s);
        m_client = std::make_unique<ClientWindow>();
        m_client->setGeometry(900, 500, 400, 300);
        m_client->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_client.get()));
        m_client->activateWindow();
        QTRY_VERIFY(m_client->isActiveWindow());
        m_panel = std::make_unique<WhirloPanel>(
            Platform::instance(), [this](const RingProfile& profile, const std::optional<RunningApp>&,
                                     std::function<void()> onDismiss, QWidget* parent) {
                HudServices s;
                s.getVolume = [] { return std::optional<float>(0.5f); };
                s.execute = [this](const ActionSlot& slot) { m_executed << slot.title; };
                return new WhirloHUDView(profile, s, std::move(onDismiss), parent);
            });
    }

    void cleanup()
    {
        if (m_panel)
            m_panel->hide();
        QTest::qWait(50);
        m_executed.clear();
    }

    // The ring maps under a pointer that already sits over a sector: clamped at
    // the screen's edge, or shown at a point away from the pointer (a second
    // start shows it at the screen's centre). A click there without a move runs
    // nothing and closes the ring; after a real move the click runs the sector.
    void clickWithoutMoveRunsNothing_data()
    {
        QTest::addColumn<QPoint>("summon");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("sector");
        QTest::newRow("clamped at the left edge") << QPoint(40, 400) << QPoint(40, 400) << 6;
        QTest::newRow("shown away from the pointer") << QPoint(600, 400) << QPoint(700, 400) << 2;
        QTest::newRow("at the pointer, pointer on the hub") << QPoint(400, 400) << QPoint(400, 400) << -1;
    }

    void clickWithoutMoveRunsNothing()
    {
        QFETCH(QPoint, summon);
        QFETCH(QPoint, pointer);
        QFETCH(int, sector);
        movePointer(pointer);
        QTest::qWait(100);
        m_panel->show(summon, PresetProfiles::globalDefault(), std::nullopt);
        QVERIFY(QTest::qWaitForWindowExposed(m_panel->window()));
        QVERIFY(m_panel->window()->geometry().contains(pointer));
        QTest::qWait(150); // whatever X sends for a window mapped under the pointer has arrived
        QCOMPARE(m_panel->hud()->controller().hoveredSectorIndex(), std::nullopt);
        QVERIFY(!m_panel->hud()->controller().isHoveringCenter());
        xdotool(u"click 1"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isShown(), 2000);
        QVERIFY2(m_executed.isEmpty(), qPrintable(m_executed.join(u", "_s)));
        if (sector < 0)
            return;

        m_panel->show(summon, PresetProfiles::globalDefault(), std::nullopt);
        QVERIFY(QTest::qWaitForWindowExposed(m_panel->window()));
        movePointer(pointer + QPoint(0, 2));
        QTRY_COMPARE_WITH_TIMEOUT(m_panel->hud()->controller().hoveredSectorIndex(), std::optional<int>(sector),
                                  2000);
        xdotool(u"click 1"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_executed, QStringList{PresetProfiles::globalDefault().slots[sector].title},
                                  2000);
    }

    void clickElsewhereClosesRingAndReachesWindow_data()
    {
        QTest::addColumn<QPoint>("ringAt");
        QTest::addColumn<QPoint>("click");
        // The client window covers (900, 500) - (1300, 800).
        QTest::newRow("another window, away from the ring") << QPoint(400, 300) << QPoint(1000, 600);
        // The ring's window spans (820, 420) - (1180, 780); without a compositor
        // it is cut to the circle, and its corner lets the click through.
        QTest::newRow("corner of the ring's window") << QPoint(1000, 600) << QPoint(1170, 770);
    }
    void clickElsewhereClosesRingAndReachesWindow()
    {
        QFETCH(QPoint, ringAt);
        QFETCH(QPoint, click);
        const bool inWindow = QRect(ringAt - QPoint(180, 180), QSize(360, 360)).contains(click);
        if (inWindow && Platform::instance().windows->isCompositing())
            QSKIP("a compositor shows the ring's window uncut");
        // Summoned with the pointer already where the click goes.
        movePointer(click);
        m_panel->show(ringAt, PresetProfiles::globalDefault(), std::nullopt);
        QVERIFY(QTest::qWaitForWindowExposed(m_panel->window()));
        QCOMPARE(m_panel->window()->geometry().contains(click), inWindow);
        const int before = m_client->presses;
        xdotool(u"click 1"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isShown(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(m_client->presses, before + 1, 2000);
    }
};

QTEST_MAIN(TestHudX11)
#include "tst_hud_x11.moc"
