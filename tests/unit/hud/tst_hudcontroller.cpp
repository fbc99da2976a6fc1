#include "common/AppSettings.h"
#include "common/Clock.h"
#include "hud/HudController.h"
#include "hud/SoundFeedback.h"
#include "platform/fake/FakePlatform.h"

#include <cmath>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Ring used throughout: 0 volume up, 1 launch app, 2 disabled shortcut,
// 3 none, 4 mute, 5 volume down, 6 open URL, 7 missing (absent slot).
static RingProfile testRing()
{
    auto slot = [](qint64 index, const QString& title, const ActionType& action, bool enabled = true) {
        return ActionSlot{
            QUuid::createUuid(), index, title, IconInfo::sfSymbol(QStringLiteral("star")), action, enabled};
    };
    QList<ActionSlot> slots{
        slot(0, QStringLiteral("Up"), ActionType::systemControl(SystemControlAction::volumeUp)),
        slot(1, QStringLiteral("Editor"),
             ActionType::launchApp(QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Editor"),
                                   QStringLiteral("/usr/share/applications/org.gnome.TextEditor.desktop"))),
        slot(2, QStringLiteral("Copy"), ActionType::shortcut(QStringLiteral("C"), 8, KeyModifiers{}), false),
        slot(3, QStringLiteral("Nothing"), ActionType::none()),
        slot(4, QStringLiteral("Mute"), ActionType::systemControl(SystemControlAction::mute)),
        slot(5, QStringLiteral("Down"), ActionType::systemControl(SystemControlAction::volumeDown)),
        slot(6, QStringLiteral("Web"), ActionType::openURL(QStringLiteral("https://example.org"))),
    };
    // Seven slots stored as they are, so sector 7 has no slot at all.
    return RingProfile::fromStored(QUuid::createUuid(), QStringLiteral("Test"), std::nullopt, std::nullopt,
                                   slots, false);
}

// A point at distance d from the centre of the 360 square, at a clock angle.
static QPointF at(double clockDeg, double d)
{
    const double t = (clockDeg - 90.0) * M_PI / 180.0;
    return QPointF(180 + d * std::cos(t), 180 + d * std::sin(t));
}

class TestHudController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void moveByDistance_data();
    void moveByDistance();
    void hoverSoundOncePerSector();
    void sectorChangeResetsScroll();
    void press_data();
    void press();
    void release_data();
    void release();
    void releaseJudgedByLastMoveNotReleaseAngle();
    void releaseOverVolumeStepsAndStaysOpen();
    void exitClearsAndDismisses();
    void scroll_data();
    void scroll();
    void scrollIgnoredOffVolumeSlots();
    void scrollWithUnreadableVolumeStepsFromHalf();
    void gauge_data();
    void gauge();
    void mutedGauge();
    void volumeRefreshedOnHoverOfVolumeSlot();
    void failedReadKeepsLastVolume();

private:
    std::unique_ptr<HudController> make();

    QTemporaryDir m_config;
    FakePlatform* m_platform = nullptr;
    ManualClock m_clock;
    std::unique_ptr<SoundFeedback> m_sounds;
    QList<ActionSlot> m_executed;
    QList<QString> m_events; // order of trigger sound and execution
};

void TestHudController::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

void TestHudController::init()
{
    m_platform = new FakePlatform(this);
    m_sounds = std::make_unique<SoundFeedback>(
        m_platform->sounds, m_clock, QStringList{QStringLiteral(RONDIX_SOURCE_DIR "/resources/sounds")});
    m_sounds->setSoundEnabled(true);
    m_executed.clear();
    m_events.clear();
}

void TestHudController::cleanup()
{
    m_sounds.reset();
    delete m_platform;
}

std::unique_ptr<HudController> TestHudController::make()
{
    HudServices s;
    FakeMixer* mixer = m_platform->fakeMixer;
    s.playHover = [this] {
        m_sounds->playHover();
        m_clock.advance(0.1); // pointer moves are far apart in these tests
    };
    s.playTrigger = [this] {
        m_events << QStringLiteral("trigger-sound");
        m_sounds->playTrigger();
    };
    s.execute = [this, mixer](const ActionSlot& slot) {
        m_events << QStringLiteral("execute");
        m_executed << slot;
        // What the executor does for the volume controls.
        if (const auto c = slot.action.systemControlAction()) {
            const float v = mixer->volume().value_or(0.5f);
            if (*c == SystemControlAction::volumeUp)
                mixer->setVolume(std::min(1.0f, v + 0.0625f));
            else if (*c == SystemControlAction::volumeDown)
                mixer->setVolume(std::max(0.0f, v - 0.0625f));
            else if (*c == SystemControlAction::mute)
                mixer->setMuted(!mixer->isMuted);
        }
    };
    s.getVolume = [mixer] { return mixer->volume(); };
    s.isMuted = [mixer] { return mixer->muted().value_or(false); };
    s.setVolume = [mixer](float v) {
        mixer->setMuted(false);
        mixer->setVolume(std::clamp(v, 0.0f, 1.0f));
    };
    return std::make_unique<HudController>(testRing(), s);
}

void TestHudController::moveByDistance_data()
{
    QTest::addColumn<double>("distance");
    QTest::addColumn<bool>("hub");
    QTest::addColumn<int>("sector"); // -1: none
    QTest::addColumn<bool>("dismissed");
    QTest::newRow("41.9: hub") << 41.9 << true << -1 << false;
    QTest::newRow("42.0: sector") << 42.0 << false << 2 << false;
    QTest::newRow("100: sector") << 100.0 << false << 2 << false;
    QTest::newRow("166: sector") << 166.0 << false << 2 << false;
    QTest::newRow("166.01: closes") << 166.01 << false << -1 << true;
    QTest::newRow("0: hub") << 0.0 << true << -1 << false;
}

void TestHudController::moveByDistance()
{
    QFETCH(double, distance);
    QFETCH(bool, hub);
    QFETCH(int, sector);
    QFETCH(bool, dismissed);
    auto hud = make();
    QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
    hud->handlePointerMove(at(90.0, distance));
    QCOMPARE(hud->isHoveringCenter(), hub);
    QCOMPARE(hud->hoveredSectorIndex().value_or(-1), sector);
    QCOMPARE(dismiss.size(), dismissed ? 1 : 0);
    QVERIFY(m_executed.isEmpty());
}

void TestHudController::hoverSoundOncePerSector()
{
    auto hud = make();
    auto& plays = m_platform->fakeSounds->plays;
    hud->handlePointerMove(at(80, 60));
    hud->handlePointerMove(at(90, 90));
    hud->handlePointerMove(at(100, 150));
    QCOMPARE(plays.size(), 1);
    QCOMPARE(hud->hoveredSectorIndex(), 2);
    hud->handlePointerMove(at(120, 100)); // into sector 3
    QCOMPARE(hud->hoveredSectorIndex(), 3);
    QCOMPARE(plays.size(), 2);
    // Via the hub and back into the same sector: the hub cleared it, so it sounds again.
    hud->handlePointerMove(at(120, 10));
    QCOMPARE(hud->hoveredSectorIndex(), std::nullopt);
    QCOMPARE(plays.size(), 2);
    hud->handlePointerMove(at(120, 100));
    QCOMPARE(plays.size(), 3);
    for (const auto& p : plays)
        QVERIFY(p.what.endsWith(QLatin1String("hover_tap.wav")));
}

void TestHudController::sectorChangeResetsScroll()
{
    auto hud = make();
    hud->handlePointerMove(at(0, 100)); // volume up
    hud->handlePointerPress(at(0, 100));
    hud->handleScrollWheel(5, true);
    QCOMPARE(hud->accumulatedScrollDelta(), 5.0);
    hud->handlePointerMove(at(5, 120)); // same sector: kept
    QCOMPARE(hud->accumulatedScrollDelta(), 5.0);
    hud->handlePointerMove(at(225, 100)); // volume down: reset
    QCOMPARE(hud->accumulatedScrollDelta(), 0.0);
    hud->handleScrollWheel(5, true);
    QCOMPARE(m_platform->fakeMixer->volumeWrites.size(), 0); // 5 < 8: no step yet
}

void TestHudController::press_data()
{
    QTest::addColumn<double>("distance");
    QTest::addColumn<bool>("dismissed");
    QTest::newRow("171 without a move") << 171.0 << true;
    QTest::newRow("170 keeps open") << 170.0 << false;
    QTest::newRow("in the hub") << 20.0 << true;
    QTest::newRow("over a sector") << 100.0 << false;
}

void TestHudController::press()
{
    QFETCH(double, distance);
    QFETCH(bool, dismissed);
    auto hud = make();
    QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
    hud->handlePointerPress(at(45, distance));
    QVERIFY(hud->isMouseDown());
    QCOMPARE(dismiss.size(), dismissed ? 1 : 0);
    QVERIFY(m_executed.isEmpty());
}

void TestHudController::release_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<bool>("executes");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("volume up") << 0.0 << true << true;
    QTest::newRow("launch app") << 45.0 << true << false;
    QTest::newRow("disabled slot") << 90.0 << false << false;
    QTest::newRow("none action") << 135.0 << false << false;
    QTest::newRow("mute") << 180.0 << true << true;
    QTest::newRow("volume down") << 225.0 << true << true;
    QTest::newRow("open url") << 270.0 << true << false;
    QTest::newRow("no slot") << 315.0 << false << false;
}

void TestHudController::release()
{
    QFETCH(double, angle);
    QFETCH(bool, executes);
    QFETCH(bool, staysOpen);
    auto hud = make();
    QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
    hud->handlePointerMove(at(angle, 100));
    m_platform->fakeSounds->plays.clear();
    hud->handlePointerPress(at(angle, 100));
    hud->handlePointerRelease(at(angle, 100));
    QVERIFY(!hud->isMouseDown());
    QCOMPARE(m_executed.size(), executes ? 1 : 0);
    if (executes) {
        QCOMPARE(m_executed.first().index, qint64(angle / 45));
        // The click sounds first, then the action runs, before any fade.
        QCOMPARE(m_events, (QList<QString>{QStringLiteral("trigger-sound"), QStringLiteral("execute")}));
        QCOMPARE(m_platform->fakeSounds->plays.size(), 1);
        QVERIFY(m_platform->fakeSounds->plays.first().what.endsWith(QLatin1String("trigger_click.wav")));
    } else {
        QVERIFY(m_platform->fakeSounds->plays.isEmpty());
    }
    QCOMPARE(dismiss.size(), staysOpen ? 0 : 1);
}

void TestHudController::releaseJudgedByLastMoveNotReleaseAngle()
{
    auto hud = make();
    hud->handlePointerMove(at(45, 100)); // launch app
    // Released over the URL sector without a move in between: the launch runs.
    hud->handlePointerRelease(at(270, 100));
    QCOMPARE(m_executed.size(), 1);
    QCOMPARE(m_executed.first().index, 1);

    // The hub test uses the release point itself.
    auto second = make();
    QSignalSpy dismiss(second.get(), &HudController::dismissRequested);
    second->handlePointerMove(at(45, 100));
    second->handlePointerRelease(at(45, 30));
    QCOMPARE(m_executed.size(), 1);
    QCOMPARE(dismiss.size(), 1);
}

void TestHudController::releaseOverVolumeStepsAndStaysOpen()
{
    m_platform->fakeMixer->level = 0.5f;
    auto hud = make();
    QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
    hud->handlePointerMove(at(0, 100));
    QVERIFY(hud->isVolumeHovered());
    hud->handlePointerRelease(at(0, 100));
    hud->handlePointerRelease(at(0, 100));
    QCOMPARE(m_platform->fakeMixer->level.value(), 0.625f);
    QCOMPARE(hud->liveVolume(), 0.625f);
    QCOMPARE(hud->gaugePercentText(), QStringLiteral("63%")); // 62.5 rounds away from zero
    QCOMPARE(dismiss.size(), 0);
}

void TestHudController::exitClearsAndDismisses()
{
    auto hud = make();
    QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
    hud->handlePointerMove(at(0, 100));
    hud->handlePointerPress(at(0, 100));
    hud->handlePointerExit();
    QCOMPARE(hud->hoveredSectorIndex(), std::nullopt);
    QVERIFY(!hud->isMouseDown());
    QVERIFY(!hud->isHoveringCenter());
    QCOMPARE(dismiss.size(), 1);
    QVERIFY(m_executed.isEmpty());
}

void TestHudController::scroll_data()
{
    QTest::addColumn<QList<double>>("deltas");
    QTest::addColumn<bool>("precise");
    QTest::addColumn<QList<float>>("writes");
    QTest::addColumn<double>("leftOver");
    QTest::newRow("+3 +3 +3 precise: one step up")
        << QList<double>{3, 3, 3} << true << QList<float>{0.5625f} << 0.0;
    QTest::newRow("+3 +3 precise: nothing yet") << QList<double>{3, 3} << true << QList<float>{} << 6.0;
    QTest::newRow("-8 precise: step down") << QList<double>{-8} << true << QList<float>{0.4375f} << 0.0;
    QTest::newRow("+5 -5 precise: cancels out") << QList<double>{5, -5} << true << QList<float>{} << 0.0;
    QTest::newRow("-7.99 precise: below threshold")
        << QList<double>{-7.99} << true << QList<float>{} << -7.99;
    QTest::newRow("wheel -1: one step down") << QList<double>{-1} << false << QList<float>{0.4375f} << 0.0;
    QTest::newRow("wheel +0.1 +0.1: two steps")
        << QList<double>{0.1, 0.1} << false << QList<float>{0.5625f, 0.625f} << 0.0;
    QTest::newRow("zero delta ignored") << QList<double>{0} << false << QList<float>{} << 0.0;
}

void TestHudController::scroll()
{
    QFETCH(QList<double>, deltas);
    QFETCH(bool, precise);
    QFETCH(QList<float>, writes);
    QFETCH(double, leftOver);
    m_platform->fakeMixer->level = 0.5f;
    auto hud = make();
    hud->handlePointerMove(at(0, 100));
    for (double d : deltas)
        hud->handleScrollWheel(d, precise);
    QCOMPARE(m_platform->fakeMixer->volumeWrites, writes);
    QVERIFY(std::abs(hud->accumulatedScrollDelta() - leftOver) < 1e-9);
    if (!writes.isEmpty())
        QCOMPARE(hud->liveVolume(), writes.last());
}

void TestHudController::scrollIgnoredOffVolumeSlots()
{
    auto hud = make();
    hud->handleScrollWheel(-1, false);   // nothing hovered
    hud->handlePointerMove(at(45, 100)); // launch app
    hud->handleScrollWheel(-1, false);
    hud->handleScrollWheel(20, true);
    QVERIFY(m_platform->fakeMixer->volumeWrites.isEmpty());
    QCOMPARE(hud->accumulatedScrollDelta(), 0.0);
}

void TestHudController::scrollWithUnreadableVolumeStepsFromHalf()
{
    m_platform->fakeMixer->level = 0.9f;
    auto hud = make();
    hud->handlePointerMove(at(0, 100));
    m_platform->fakeMixer->level.reset(); // reads fail from now on
    hud->handleScrollWheel(1, false);
    QCOMPARE(m_platform->fakeMixer->volumeWrites, QList<float>{0.5625f});
    QCOMPARE(hud->liveVolume(), 0.9f); // keeps the last value read
}

void TestHudController::gauge_data()
{
    QTest::addColumn<float>("volume");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QString>("text");
    QTest::newRow("0.007") << 0.007f << "speaker.fill" << 0.01 << "1%";
    QTest::newRow("0") << 0.0f << "speaker.fill" << 0.01 << "0%";
    QTest::newRow("0.01") << 0.01f << "speaker.fill" << 0.01 << "1%";
    QTest::newRow("0.335") << 0.335f << "speaker.wave.1.fill" << double(0.335f) << "34%";
    QTest::newRow("0.34") << 0.34f << "speaker.wave.2.fill" << double(0.34f) << "34%";
    QTest::newRow("0.669") << 0.669f << "speaker.wave.2.fill" << double(0.669f) << "67%";
    QTest::newRow("0.67") << 0.67f << "speaker.wave.3.fill" << double(0.67f) << "67%";
    QTest::newRow("1") << 1.0f << "speaker.wave.3.fill" << 1.0 << "100%";
    QTest::newRow("0.005 rounds up") << 0.005f << "speaker.fill" << 0.01 << "1%";
}

void TestHudController::gauge()
{
    QFETCH(float, volume);
    QFETCH(QString, icon);
    QFETCH(double, fraction);
    QFETCH(QString, text);
    m_platform->fakeMixer->level = volume;
    auto hud = make();
    hud->appear();
    QCOMPARE(hud->centerSpeakerIconName(), icon);
    QVERIFY(std::abs(hud->gaugeFraction() - fraction) < 1e-7);
    QCOMPARE(hud->gaugePercentText(), text);
}

void TestHudController::mutedGauge()
{
    m_platform->fakeMixer->level = 0.8f;
    m_platform->fakeMixer->isMuted = true;
    auto hud = make();
    hud->appear();
    QCOMPARE(hud->centerSpeakerIconName(), QStringLiteral("speaker.slash.fill"));
    QCOMPARE(hud->gaugeFraction(), 0.0);
    QVERIFY(hud->gaugePercentText().isEmpty());
    // Releasing over mute toggles it and the gauge follows.
    hud->handlePointerMove(at(180, 100));
    hud->handlePointerRelease(at(180, 100));
    QVERIFY(!hud->liveIsMuted());
    QCOMPARE(hud->gaugePercentText(), QStringLiteral("80%"));
}

void TestHudController::volumeRefreshedOnHoverOfVolumeSlot()
{
    m_platform->fakeMixer->level = 0.2f;
    auto hud = make();
    QCOMPARE(hud->liveVolume(), 0.2f);
    m_platform->fakeMixer->level = 0.7f; // changed elsewhere meanwhile
    hud->handlePointerMove(at(45, 100)); // not a volume slot
    QCOMPARE(hud->liveVolume(), 0.2f);
    hud->handlePointerMove(at(0, 100));
    QCOMPARE(hud->liveVolume(), 0.7f);
    QVERIFY(hud->isVolumeHovered());
    hud->handlePointerMove(at(90, 100)); // disabled shortcut
    QVERIFY(!hud->isVolumeHovered());
}

void TestHudController::failedReadKeepsLastVolume()
{
    m_platform->fakeMixer->level.reset();
    auto hud = make();
    QCOMPARE(hud->liveVolume(), 0.5f); // unreadable from the start
    m_platform->fakeMixer->level = 0.3f;
    hud->appear();
    QCOMPARE(hud->liveVolume(), 0.3f);
    m_platform->fakeMixer->level.reset();
    hud->appear();
    QCOMPARE(hud->liveVolume(), 0.3f);
}

QTEST_GUILESS_MAIN(TestHudController)
#include "tst_hudcontroller.moc"
