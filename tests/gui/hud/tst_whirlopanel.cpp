#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "HudTestRing.h"
#include "platform/fake/FakePlatform.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

class TestWhirloPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void clamping_data();
    void clamping();
    void showPlacesAndMonitors();
    void secondSummonReplacesRing();
    void staleDismissIgnored();
    void dismissOfCurrentRingHides();
    void escapeHidesAtOnce();
    void otherKeysIgnored();
    void clickOutsideHidesQueued_data();
    void clickOutsideHidesQueued();
    void keysIgnoredWhenHidden();
    void maskWithoutCompositor();
    void pointerAtCentreSeedsHub();

private:
    WhirloPanel::HudFactory factory();

    QTemporaryDir m_config;
    FakePlatform* m_platform = nullptr;
    WhirloPanel* m_panel = nullptr;
    QList<QString> m_executed;
};

void TestWhirloPanel::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

void TestWhirloPanel::init()
{
    m_platform = new FakePlatform(this);
    Platform::setInstance(m_platform);
    m_panel = new WhirloPanel(*m_platform, factory());
    m_executed.clear();
}

void TestWhirloPanel::cleanup()
{
    delete m_panel;
    m_panel = nullptr;
    delete m_platform;
}

WhirloPanel::HudFactory TestWhirloPanel::factory()
{
    return [this](const RingProfile& profile, const std::optional<RunningApp>&,
                  std::function<void()> onDismiss, QWidget* parent) {
        HudServices s;
        s.execute = [this](const ActionSlot& slot) { m_executed << slot.title; };
        s.getVolume = [] { return std::optional<float>(0.5f); };
        s.isMuted = [] { return false; };
        s.setVolume = [](float) {};
        auto* view = new WhirloHUDView(profile, s, std::move(onDismiss), parent);
        view->setObjectName(profile.name);
        return view;
    };
}

void TestWhirloPanel::clamping_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("origin");
    // A 1440 x 900 screen with a 25 px top bar: the lower-left corner of the
    // screen is (10, 890) in these coordinates.
    const QRect screen(0, 25, 1440, 875);
    QTest::newRow("bottom-left corner") << QPoint(10, 890) << screen << QPoint(0, 540);
    QTest::newRow("top-right corner") << QPoint(1435, 30) << screen << QPoint(1080, 25);
    QTest::newRow("middle") << QPoint(700, 450) << screen << QPoint(520, 270);
    QTest::newRow("exactly fits left") << QPoint(180, 400) << screen << QPoint(0, 220);
    QTest::newRow("one past right") << QPoint(1261, 400) << screen << QPoint(1080, 220);
    // Narrower and lower than the panel: right and top edges line up.
    QTest::newRow("narrow area") << QPoint(150, 150) << QRect(100, 50, 200, 300) << QPoint(-60, 50);
    QTest::newRow("narrow area, far left") << QPoint(0, 0) << QRect(100, 50, 200, 300) << QPoint(-60, 50);
    QTest::newRow("second screen") << QPoint(1500, 100) << QRect(1440, 0, 1920, 1080) << QPoint(1440, 0);
}

void TestWhirloPanel::clamping()
{
    QFETCH(QPoint, point);
    QFETCH(QRect, area);
    QFETCH(QPoint, origin);
    QCOMPARE(WhirloPanel::clampedOrigin(point, area), origin);
}

void TestWhirloPanel::showPlacesAndMonitors()
{
    QSignalSpy shown(m_panel, &WhirloPanel::shown);
    const QRect area = WhirloPanel::availableAreaAt(QPoint(400, 300));
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    QVERIFY(m_panel->isShown());
    QCOMPARE(shown.size(), 1);
    QWidget* w = m_panel->window();
    QVERIFY(w->isVisible());
    QCOMPARE(w->size(), QSize(360, 360));
    QCOMPARE(w->pos(), WhirloPanel::clampedOrigin(QPoint(400, 300), area));
    QVERIFY(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    QVERIFY(w->windowFlags() & Qt::X11BypassWindowManagerHint);
    QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(!w->isActiveWindow());
    QVERIFY(m_platform->input->keysSelected());
    QVERIFY(m_platform->input->buttonsSelected());

    m_panel->hide();
    QVERIFY(!m_panel->isShown());
    QVERIFY(!w->isVisible());
    QVERIFY(!m_platform->input->keysSelected());
    QVERIFY(!m_platform->input->buttonsSelected());
    QVERIFY(!m_panel->hud());
}

void TestWhirloPanel::secondSummonReplacesRing()
{
    m_panel->show(QPoint(400, 300), hudTestRing(QStringLiteral("first")), std::nullopt);
    QPointer<WhirloHUDView> first = m_panel->hud();
    m_panel->show(QPoint(800, 500), hudTestRing(QStringLiteral("second")), std::nullopt);
    QCOMPARE(m_panel->hud()->objectName(), QStringLiteral("second"));
    QVERIFY(first.isNull() || !first->isVisible());
    QTRY_VERIFY(first.isNull());
    // Still one owner each, so one hide releases the monitors.
    m_panel->hide();
    QVERIFY(!m_platform->input->keysSelected());
}

void TestWhirloPanel::staleDismissIgnored()
{
    m_panel->show(QPoint(400, 300), hudTestRing(QStringLiteral("first")), std::nullopt);
    WhirloHUDView* first = m_panel->hud();
    // The first ring starts fading (pointer left it), then a new summon comes
    // before its 0.14 s are over.
    first->controller().handlePointerExit();
    m_panel->show(QPoint(400, 300), hudTestRing(QStringLiteral("second")), std::nullopt);
    QTest::qWait(300);
    QVERIFY(m_panel->isShown());
    QCOMPARE(m_panel->hud()->objectName(), QStringLiteral("second"));
}

void TestWhirloPanel::dismissOfCurrentRingHides()
{
    QSignalSpy hidden(m_panel, &WhirloPanel::hidden);
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    WhirloHUDView* hud = m_panel->hud();
    hud->controller().handlePointerMove(QPointF(180, 80));  // over slot 0... north
    hud->controller().handlePointerMove(QPointF(260, 100)); // north-east: copy
    hud->controller().handlePointerRelease(QPointF(260, 100));
    QCOMPARE(m_executed, QList<QString>{QStringLiteral("Copy")});
    // Still shown during the fade, hidden after it.
    QVERIFY(m_panel->isShown());
    QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isShown(), 1000);
    QCOMPARE(hidden.size(), 1);
    QVERIFY(!m_platform->input->keysSelected());
}

void TestWhirloPanel::escapeHidesAtOnce()
{
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    m_platform->fakeInput->pressKey(53);
    QVERIFY(!m_panel->isShown()); // immediately, no fade
    QVERIFY(!m_platform->input->keysSelected());
    QVERIFY(m_executed.isEmpty());
}

void TestWhirloPanel::otherKeysIgnored()
{
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    m_platform->fakeInput->pressKey(49);
    m_platform->fakeInput->pressKey(36);
    QVERIFY(m_panel->isShown());
}

void TestWhirloPanel::clickOutsideHidesQueued_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("where");
    QTest::addColumn<bool>("hides");
    QTest::newRow("left outside") << 0 << QPoint(5, 5) << true;
    QTest::newRow("right outside") << 1 << QPoint(5, 5) << true;
    QTest::newRow("middle outside") << 2 << QPoint(5, 5) << false;
    QTest::newRow("back button outside") << 3 << QPoint(5, 5) << false;
    QTest::newRow("left on the ring") << 0 << QPoint(400, 300) << false;
}

void TestWhirloPanel::clickOutsideHidesQueued()
{
    QFETCH(int, button);
    QFETCH(QPoint, where);
    QFETCH(bool, hides);
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    m_platform->fakeInput->pointer = where;
    m_platform->fakeInput->pressButton(button);
    QVERIFY(m_panel->isShown()); // never within the event itself
    QCoreApplication::processEvents();
    QCOMPARE(!m_panel->isShown(), hides);
}

void TestWhirloPanel::keysIgnoredWhenHidden()
{
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    m_panel->hide();
    QSignalSpy hidden(m_panel, &WhirloPanel::hidden);
    m_platform->fakeInput->pressKey(53);
    m_platform->fakeInput->pressButton(0);
    QCoreApplication::processEvents();
    QCOMPARE(hidden.size(), 0);
}

void TestWhirloPanel::maskWithoutCompositor()
{
    m_platform->fakeWindows->compositing = false;
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    const QRegion mask = m_panel->window()->mask();
    QVERIFY(!mask.isEmpty());
    QVERIFY(mask.contains(QPoint(180, 180)));
    QVERIFY(mask.contains(QPoint(180, 180 - 149))); // a hovered sector's tip
    QVERIFY(!mask.contains(QPoint(2, 2)));          // corners are cut away
    m_panel->hide();
    m_platform->fakeWindows->compositing = true;
    m_panel->show(QPoint(400, 300), hudTestRing(), std::nullopt);
    QVERIFY(m_panel->window()->mask().isEmpty());
}

void TestWhirloPanel::pointerAtCentreSeedsHub()
{
    m_platform->fakeInput->pointer = QPoint(400, 300);
    m_panel->show(std::nullopt, hudTestRing(), std::nullopt);
    QVERIFY(m_panel->hud()->controller().isHoveringCenter());
    // Clamped away from a pointer in the corner: no seeding, no instant close.
    m_platform->fakeInput->pointer = QPoint(1, 1);
    const QRect area = WhirloPanel::availableAreaAt(QPoint(1, 1));
    m_panel->show(area.topLeft(), hudTestRing(), std::nullopt);
    QVERIFY(m_panel->isShown());
    QVERIFY(!m_panel->hud()->controller().isHoveringCenter());
    QCOMPARE(m_panel->hud()->controller().dismissCount(), 0);
}

QTEST_MAIN(TestWhirloPanel)
#include "tst_whirlopanel.moc"
