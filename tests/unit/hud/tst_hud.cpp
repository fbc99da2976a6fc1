#include "common/AppSettings.h"
#include "common/Clock.h"
#include "common/SymbolGlyphs.h"
#include "hud/ActionIconView.h"
#include "hud/AnimatedValue.h"
#include "hud/AppIconCache.h"
#include "hud/HudController.h"
#include "hud/RadialGeometry.h"
#include "hud/SoundFeedback.h"
#include "platform/fake/FakePlatform.h"
#include "TestFiles.h"

#include <cmath>
#include <limits>
#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace RadialGeometry;
using namespace Qt::StringLiterals;

// Sectors: 0 volume up, 1 launch app, 2 disabled shortcut, 3 none, 4 mute,
// 5 volume down; 6 and 7 have no slot at all.
static RingProfile testRing()
{
    auto slot = [](qint64 index, const ActionType& action, bool enabled = true) {
        return ActionSlot{QUuid::createUuid(), index, u"s"_s, IconInfo::sfSymbol(u"star"_s), action, enabled};
    };
    const QList<ActionSlot> slots{
        slot(0, ActionType::systemControl(SystemControlAction::volumeUp)),
        slot(1, ActionType::launchApp(u"org.gnome.TextEditor"_s, u"Editor"_s, u"/nonexistent.desktop"_s)),
        slot(2, ActionType::shortcut(u"C"_s, 8, KeyModifiers{}), false),
        slot(3, ActionType::none()),
        slot(4, ActionType::systemControl(SystemControlAction::mute)),
        slot(5, ActionType::systemControl(SystemControlAction::volumeDown)),
    };
    return RingProfile::fromStored(QUuid::createUuid(), u"Test"_s, std::nullopt, std::nullopt, slots, false);
}

// A point at distance d from the centre (180, 180 by default), at a clock angle.
static QPointF at(double clockDeg, double d, double centre = 180)
{
    const double t = (clockDeg - 90.0) * M_PI / 180.0;
    return QPointF(centre + d * std::cos(t), centre + d * std::sin(t));
}

static QImage blank(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

static QImage renderIcon(const IconInfo& icon, int size)
{
    QImage img = blank(size, size);
    QPainter p(&img);
    ActionIconView::paint(p, QRectF(0, 0, size, size), icon, QColor(0, 0, 255));
    return img;
}

class TestHud : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakePlatform* m_platform = nullptr;
    ManualClock m_clock;
    std::unique_ptr<SoundFeedback> m_sounds;
    QList<ActionSlot> m_executed;
    QStringList m_events;

    std::unique_ptr<HudController> make()
    {
        HudServices s;
        FakeMixer* mixer = m_platform->fakeMixer;
        s.playHover = [this] {
            m_sounds->playHover();
            m_clock.advance(0.1); // pointer moves are far apart here
        };
        s.playTrigger = [this] {
            m_events << u"sound"_s;
            m_sounds->playTrigger();
        };
        s.execute = [this, mixer](const ActionSlot& slot) {
            m_events << u"execute"_s;
            m_executed << slot;
            if (slot.action.systemControlAction() == SystemControlAction::mute)
                mixer->setMuted(!mixer->isMuted);
        };
        s.getVolume = [mixer] { return mixer->volume(); };
        s.isMuted = [mixer] { return mixer->muted().value_or(false); };
        s.setVolume = [mixer](float v) { mixer->setVolume(std::clamp(v, 0.0f, 1.0f)); };
        return std::make_unique<HudController>(testRing(), s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toUtf8());
        QVERIFY(QDir(m_dir.path()).mkpath(u"other"_s));
        QVERIFY(writeFile(m_dir.filePath(u"red.desktop"_s),
                          "[Desktop Entry]\nType=Application\nName=Red\nExec=true\n"));
        QImage red(64, 64, QImage::Format_ARGB32);
        red.fill(QColor(255, 0, 0));
        QVERIFY(red.save(m_dir.filePath(u"red.png"_s)));
    }

    void init()
    {
        m_platform = new FakePlatform(this);
        Platform::setInstance(m_platform);
        const QString red = m_dir.filePath(u"red"_s);
        m_platform->fakeDesktopEntries->entries
            << DesktopEntry{u"red"_s, u"Red"_s, u"Red"_s, red + u".png"_s, red + u".desktop"_s, {}, {}};
        AppSettings::remove(u"soundEnabled"_s);
        m_sounds = std::make_unique<SoundFeedback>(
            m_platform->sounds, m_clock, QStringList{QStringLiteral(RONDIX_SOURCE_DIR "/resources/sounds")});
        m_sounds->setSoundEnabled(true);
        m_executed.clear();
        m_events.clear();
    }

    void cleanup()
    {
        m_sounds.reset();
        delete m_platform;
    }

    void clockAngleOfAxes_data()
    {
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<double>("angle");
        QTest::newRow("up") << QPointF(0, -1) << 0.0;
        QTest::newRow("right") << QPointF(1, 0) << 90.0;
        QTest::newRow("down") << QPointF(0, 1) << 180.0;
        QTest::newRow("left") << QPointF(-1, 0) << 270.0;
        QTest::newRow("centre") << QPointF(0, 0) << 90.0;
        QTest::newRow("just left of up stays below 360") << QPointF(-1e-9, -1) << 360.0 - 1e-9 * 180.0 / M_PI;
    }

    void clockAngleOfAxes()
    {
        QFETCH(QPointF, offset);
        QFETCH(double, angle);
        const double a = clockAngle(offset);
        QVERIFY2(std::abs(a - angle) < 1e-9 && a < 360, qPrintable(QString::number(a, 'g', 17)));
    }

    void sectorOfAngle_data()
    {
        QTest::addColumn<double>("angle");
        QTest::addColumn<int>("sector");
        QTest::newRow("22.4999") << 22.4999 << 0;
        QTest::newRow("22.5 goes clockwise") << 22.5 << 1;
        QTest::newRow("337.4999") << 337.4999 << 7;
        QTest::newRow("337.5") << 337.5 << 0;
        QTest::newRow("-22.5") << -22.5 << 0;
        QTest::newRow("hair below -22.5") << std::nextafter(-22.5, -100.0) << 7;
        QTest::newRow("382.5") << 382.5 << 1;
        QTest::newRow("720") << 720.0 << 0;
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
        QTest::newRow("+inf") << std::numeric_limits<double>::infinity() << 0;
    }

    void sectorOfAngle()
    {
        QFETCH(double, angle);
        QFETCH(int, sector);
        QCOMPARE(sectorIndex(angle), sector);
    }

    void wedgeSpanAndShape()
    {
        // Outer arc from 45 - 21.4 clockwise, then the radial edge in to 45 + 21.4.
        const QPainterPath wedge = sectorPath(1, 46, 138, 2.2);
        const QPointF start = wedge.elementAt(0);
        const QPointF innerEnd = wedge.pointAtPercent(wedge.percentAtLength(138 * 42.8 * M_PI / 180.0 + 92));
        QVERIFY2(std::abs(clockAngle(start) - 23.6) < 0.05, qPrintable(QString::number(clockAngle(start))));
        QVERIFY2(std::abs(clockAngle(innerEnd) - 66.4) < 0.05,
                 qPrintable(QString::number(clockAngle(innerEnd))));
        QVERIFY(wedge.contains(sectorCenterPoint(1, 92)) && !wedge.contains(sectorCenterPoint(0, 92)));
        QVERIFY(!wedge.contains(at(22.5, 92, 0))); // the gap between two wedges
        // The shape centres the wedge on the rectangle's own mid point.
        const QPainterPath shape = RadialSectorShape{2, 46, 148, 2.2}.path(QRectF(20, 20, 320, 320));
        QCOMPARE(shape.boundingRect(), sectorPath(2, 46, 148, 2.2).boundingRect().translated(180, 180));
        QVERIFY(shape.contains(QPointF(180 + 92, 180)));
    }

    void pointerDistance_data()
    {
        QTest::addColumn<bool>("press");
        QTest::addColumn<double>("distance");
        QTest::addColumn<bool>("hub");
        QTest::addColumn<int>("sector"); // -1: none
        QTest::addColumn<bool>("dismissed");
        QTest::newRow("move 41.9: hub") << false << 41.9 << true << -1 << false;
        QTest::newRow("move 42.0: sector") << false << 42.0 << false << 2 << false;
        QTest::newRow("move 166: sector") << false << 166.0 << false << 2 << false;
        QTest::newRow("move 166.01: closes") << false << 166.01 << false << -1 << true;
        QTest::newRow("press 170: stays") << true << 170.0 << false << -1 << false;
        QTest::newRow("press 171: closes") << true << 171.0 << false << -1 << true;
        QTest::newRow("press in the hub: closes") << true << 20.0 << false << -1 << true;
    }

    void pointerDistance()
    {
        QFETCH(bool, press);
        QFETCH(double, distance);
        QFETCH(bool, hub);
        QFETCH(int, sector);
        QFETCH(bool, dismissed);
        auto hud = make();
        QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
        if (press)
            hud->handlePointerPress(at(90, distance));
        else
            hud->handlePointerMove(at(90, distance));
        QCOMPARE(hud->isHoveringCenter(), hub);
        QCOMPARE(hud->hoveredSectorIndex().value_or(-1), sector);
        QCOMPARE(dismiss.size(), dismissed ? 1 : 0);
        QVERIFY(m_executed.isEmpty());
    }

    void hoverSoundOncePerSector()
    {
        auto hud = make();
        const auto& plays = m_platform->fakeSounds->plays;
        for (const QPointF& p : {at(80, 60), at(90, 90), at(100, 150)})
            hud->handlePointerMove(p);
        QCOMPARE(plays.size(), 1);
        hud->handlePointerMove(at(120, 100)); // into sector 3
        QCOMPARE(plays.size(), 2);
        hud->handlePointerMove(at(120, 10));  // the hub clears the sector...
        hud->handlePointerMove(at(120, 100)); // ...so coming back sounds again
        QCOMPARE(plays.size(), 3);
        QVERIFY(plays.last().what.endsWith("hover_tap.wav"_L1));
        QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
        hud->handlePointerExit();
        QVERIFY(dismiss.size() == 1 && !hud->hoveredSectorIndex());
    }

    void release_data()
    {
        QTest::addColumn<int>("sector");
        QTest::addColumn<bool>("executes");
        QTest::addColumn<bool>("staysOpen");
        QTest::newRow("volume up") << 0 << true << true;
        QTest::newRow("mute") << 4 << true << true;
        QTest::newRow("launch app") << 1 << true << false;
        QTest::newRow("disabled slot") << 2 << false << false;
        QTest::newRow("none action") << 3 << false << false;
        QTest::newRow("no slot") << 7 << false << false;
    }

    void release()
    {
        QFETCH(int, sector);
        QFETCH(bool, executes);
        QFETCH(bool, staysOpen);
        auto hud = make();
        QSignalSpy dismiss(hud.get(), &HudController::dismissRequested);
        hud->handlePointerMove(at(sector * 45.0, 100));
        m_platform->fakeSounds->plays.clear();
        hud->handlePointerPress(at(sector * 45.0, 100));
        // Judged by the sector last moved over, not where the release lands.
        hud->handlePointerRelease(at(sector * 45.0 + 90, 100));
        QCOMPARE(dismiss.size(), staysOpen ? 0 : 1);
        QCOMPARE(m_executed.size(), executes ? 1 : 0);
        QCOMPARE(m_platform->fakeSounds->plays.size(), executes ? 1 : 0);
        if (executes) {
            QCOMPARE(m_executed.first().index, sector);
            // The click sounds first, then the action runs, before any fade.
            QCOMPARE(m_events, (QStringList{u"sound"_s, u"execute"_s}));
            QVERIFY(m_platform->fakeSounds->plays.first().what.endsWith("trigger_click.wav"_L1));
        }
    }

    void scroll_data()
    {
        QTest::addColumn<int>("sector");
        QTest::addColumn<QList<double>>("deltas");
        QTest::addColumn<bool>("precise");
        QTest::addColumn<QList<float>>("writes");
        QTest::newRow("precise +3 +3 +3: one step")
            << 0 << QList<double>{3, 3, 3} << true << QList<float>{0.5625f};
        QTest::newRow("-7.99 precise: nothing yet") << 0 << QList<double>{-7.99} << true << QList<float>{};
        QTest::newRow("+5 -5 precise: cancels") << 0 << QList<double>{5, -5} << true << QList<float>{};
        QTest::newRow("wheel -1: one step down") << 0 << QList<double>{-1} << false << QList<float>{0.4375f};
        QTest::newRow("wheel +0.1 twice")
            << 5 << QList<double>{0.1, 0.1} << false << QList<float>{0.5625f, 0.625f};
        QTest::newRow("launch slot: ignored") << 1 << QList<double>{-1, 20} << false << QList<float>{};
    }

    void scroll()
    {
        QFETCH(int, sector);
        QFETCH(QList<double>, deltas);
        QFETCH(bool, precise);
        QFETCH(QList<float>, writes);
        m_platform->fakeMixer->level = 0.5f;
        auto hud = make();
        hud->handlePointerMove(at(sector * 45.0, 100));
        for (double d : deltas)
            hud->handleScrollWheel(d, precise);
        QCOMPARE(m_platform->fakeMixer->volumeWrites, writes);
        QCOMPARE(hud->liveVolume(), writes.isEmpty() ? 0.5f : writes.last());
        // A half-done precise scroll does not carry over into another sector.
        hud->handleScrollWheel(5, true);
        hud->handlePointerMove(at(sector == 0 ? 225 : 0, 100));
        hud->handleScrollWheel(5, true);
        QCOMPARE(m_platform->fakeMixer->volumeWrites.size(), writes.size());
    }

    void unreadableVolume()
    {
        m_platform->fakeMixer->level.reset();
        auto hud = make();
        QCOMPARE(hud->liveVolume(), 0.5f);
        m_platform->fakeMixer->level = 0.9f; // changed elsewhere meanwhile
        hud->handlePointerMove(at(0, 100));
        QCOMPARE(hud->liveVolume(), 0.9f);
        m_platform->fakeMixer->level.reset(); // reads fail from now on
        hud->appear();
        hud->handleScrollWheel(1, false);
        QCOMPARE(m_platform->fakeMixer->volumeWrites, QList<float>{0.5625f}); // steps from half
        QCOMPARE(hud->liveVolume(), 0.9f);                                    // shows the last value read
    }

    void gauge_data()
    {
        QTest::addColumn<float>("volume");
        QTest::addColumn<bool>("muted");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("text");
        QTest::newRow("0.007") << 0.007f << false << "speaker.fill" << 0.01 << "1%";
        QTest::newRow("0.335") << 0.335f << false << "speaker.wave.1.fill" << double(0.335f) << "34%";
        QTest::newRow("0.625 rounds away") << 0.625f << false << "speaker.wave.2.fill" << 0.625 << "63%";
        QTest::newRow("0.669") << 0.669f << false << "speaker.wave.2.fill" << double(0.669f) << "67%";
        QTest::newRow("0.67") << 0.67f << false << "speaker.wave.3.fill" << double(0.67f) << "67%";
        QTest::newRow("muted") << 0.8f << true << "speaker.slash.fill" << 0.0 << "";
    }

    void gauge()
    {
        QFETCH(float, volume);
        QFETCH(bool, muted);
        QFETCH(QString, icon);
        QFETCH(double, fraction);
        QFETCH(QString, text);
        m_platform->fakeMixer->level = 0.2f;
        auto hud = make();
        m_platform->fakeMixer->level = volume;
        m_platform->fakeMixer->isMuted = muted;
        hud->appear();
        QCOMPARE(hud->centerSpeakerIconName(), icon);
        QVERIFY(std::abs(hud->gaugeFraction() - fraction) < 1e-7);
        QCOMPARE(hud->gaugePercentText(), text);
        QVERIFY(SymbolGlyphs::isKnown(icon));
    }

    void hoverThrottle_data()
    {
        QTest::addColumn<double>("gap");
        QTest::addColumn<int>("plays");
        QTest::newRow("20 ms apart: one") << 0.020 << 1;
        QTest::newRow("35 ms apart: one") << 0.035 << 1;
        QTest::newRow("40 ms apart: two") << 0.040 << 2;
    }

    void hoverThrottle()
    {
        QFETCH(double, gap);
        QFETCH(int, plays);
        m_sounds->playHover();
        m_clock.advance(gap);
        m_sounds->playHover();
        QCOMPARE(m_platform->fakeSounds->plays.size(), plays);
    }

    void channelsRotate()
    {
        const auto& plays = m_platform->fakeSounds->plays;
        for (int i = 0; i < 5; ++i, m_clock.advance(0.05))
            m_sounds->playHover();
        // The shipped files are usable: four hover channels in turn, the fifth
        // play restarts the first one.
        const QSet<int> hover{plays[0].channel, plays[1].channel, plays[2].channel, plays[3].channel};
        QCOMPARE(hover.size(), 4);
        QCOMPARE(plays[4].channel, plays[0].channel);
        // Clicks at one instant are never throttled and use two channels of their own.
        for (int i = 0; i < 3; ++i)
            m_sounds->playTrigger();
        QCOMPARE(plays.size(), 8);
        QVERIFY(plays[5].channel != plays[6].channel && plays[5].channel == plays[7].channel);
        QVERIFY(!hover.contains(plays[5].channel) && !hover.contains(plays[6].channel));
    }

    void disabledPlaysNothing()
    {
        AppSettings::remove(u"soundEnabled"_s); // never chosen: off
        m_sounds->playHover();
        m_sounds->playTrigger();
        QVERIFY(m_platform->fakeSounds->plays.isEmpty());
        // The silent hover must not count for the throttle.
        m_clock.advance(0.010);
        m_sounds->setSoundEnabled(true);
        m_sounds->playHover();
        QCOMPARE(m_platform->fakeSounds->plays.size(), 1);
    }

    void missingFilesFallBack_data()
    {
        QTest::addColumn<QByteArray>("hover"); // null: no file
        QTest::addColumn<QString>("played");
        QTest::newRow("no files") << QByteArray() << "dialog-information";
        QTest::newRow("truncated header") << QByteArray("RIFF") << "dialog-information";
        QTest::newRow("ogg") << QByteArray("OggS") + QByteArray(30, '\1') << "hover_tap.wav";
    }

    void missingFilesFallBack()
    {
        QFETCH(QByteArray, hover);
        QFETCH(QString, played);
        QFile::remove(m_dir.filePath(u"other/hover_tap.wav"_s));
        if (!hover.isNull())
            QVERIFY(writeFile(m_dir.filePath(u"other/hover_tap.wav"_s), hover));
        SoundFeedback sounds(m_platform->sounds, m_clock, {m_dir.filePath(u"other"_s)});
        sounds.playHover();
        sounds.playTrigger();
        const auto& plays = m_platform->fakeSounds->plays;
        QCOMPARE(plays.size(), 2);
        QVERIFY2(plays[0].what.endsWith(played), qPrintable(plays[0].what));
        QCOMPARE(plays[0].volume, played.endsWith(".wav"_L1) ? 0.95 : 0.6);
        QCOMPARE(plays[1].what, u"message"_s);
        QCOMPARE(plays[1].volume, 0.7);
    }

    void everySymbolRendersAGlyph()
    {
        // Names the product itself uses have a glyph.
        QStringList used{u"app.dashed"_s, u"questionmark.circle"_s};
        for (SystemControlAction a : SystemControl::allCases())
            used << SystemControl::defaultSymbol(a);
        for (const RingProfile& ring : PresetProfiles::allDefaults())
            for (const ActionSlot& s : ring.slots)
                used << s.icon.sfSymbolName().value_or(u"app.dashed"_s);
        for (const QString& name : used)
            QVERIFY2(name.isEmpty() || SymbolGlyphs::isKnown(name), qPrintable(name));
        // A ligature the font lacks falls apart into letters, far wider than one icon.
        const QFont font = ActionIconView::symbolFont(48);
        auto draw = [&font](const QString& ligature) {
            QImage img = blank(200, 80);
            QPainter p(&img);
            p.setFont(font);
            p.drawText(QPointF(10, 60), ligature);
            return img;
        };
        const QImage fallback = draw(SymbolGlyphs::fallbackLigature());
        for (const QString& name : SymbolGlyphs::knownSymbols()) {
            const QString ligature = SymbolGlyphs::materialLigature(name);
            QVERIFY2(QFontMetricsF(font).horizontalAdvance(ligature) <= 48.5, qPrintable(ligature));
            const QImage img = draw(ligature);
            QVERIFY2(img != blank(200, 80), qPrintable(ligature));
            // Only the question-mark symbols may look like the fallback.
            QVERIFY2(ligature == SymbolGlyphs::fallbackLigature() || img != fallback, qPrintable(name));
        }
        QCOMPARE(SymbolGlyphs::materialLigature(u"no.such.symbol"_s), SymbolGlyphs::fallbackLigature());
    }

    void iconCases_data()
    {
        QTest::addColumn<IconInfo>("icon");
        QTest::addColumn<QString>("drawnAs"); // "": nothing, "red": the app's picture, else a symbol
        QTest::newRow("empty symbol") << IconInfo::sfSymbol(QString()) << "";
        QTest::newRow("circle.dashed") << IconInfo::sfSymbol(u"circle.dashed"_s) << "";
        QTest::newRow("unknown symbol") << IconInfo::sfSymbol(u"zzz"_s) << "questionmark.circle";
        QTest::newRow("app, gone") << IconInfo::app(u"x"_s, u"X"_s, u"/x.desktop"_s) << "app.dashed";
        QTest::newRow("app") << IconInfo::app(u"red"_s, u"Red"_s, m_dir.filePath(u"red.desktop"_s)) << "red";
    }

    void iconCases()
    {
        QFETCH(IconInfo, icon);
        QFETCH(QString, drawnAs);
        const QImage img = renderIcon(icon, 32);
        if (drawnAs.isEmpty())
            QCOMPARE(img, blank(32, 32));
        else if (drawnAs == "red"_L1) // the application's own picture, untinted
            QCOMPARE(img.pixelColor(16, 16), QColor(255, 0, 0));
        else
            QVERIFY(img == renderIcon(IconInfo::sfSymbol(drawnAs), 32) && img != blank(32, 32));
    }

    void appIconCornersAndCache()
    {
        const QString red = m_dir.filePath(u"red.desktop"_s);
        const QImage img = renderIcon(IconInfo::app(u"red"_s, u"Red"_s, red), 22);
        // Corner radius 22 * 0.22 = 4.84: pixel (0, 1) has its centre 5.5 px from
        // the arc's centre, outside; (3, 3) and the edge middles are inside.
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
        QVERIFY(qAlpha(img.pixel(0, 1)) < 128 && qAlpha(img.pixel(1, 0)) < 128);
        QVERIFY(qAlpha(img.pixel(3, 3)) > 128 && qAlpha(img.pixel(11, 0)) > 200);

        AppIconCache cache(m_platform->desktopEntries);
        auto path = [](int i) { return u"/nonexistent/app%1.desktop"_s.arg(i); };
        for (int i = 0; i < 60; ++i)
            QCOMPARE(cache.icon(path(i)).deviceIndependentSize().toSize(), QSize(48, 48));
        cache.icon(path(0)); // a hit makes app0 the most recent
        QCOMPARE(cache.buildCount(), 60);
        cache.icon(red); // the 61st distinct path evicts the least recently used
        QCOMPARE(cache.count(), 60);
        QVERIFY(cache.contains(red) && cache.contains(path(0)) && !cache.contains(path(1)));
        cache.icon(path(1));
        QCOMPARE(cache.buildCount(), 62);
        QCOMPARE(cache.icon(red).toImage().pixelColor(24, 24), QColor(255, 0, 0));
    }

    void springAndEase()
    {
        // A frame seconds late (process stopped) neither explodes nor stalls the spring.
        AnimatedValue v(0.0, 0.18, 0.68);
        v.springTo(1.0);
        v.advance(0);
        v.advance(5.0);
        QVERIFY(std::isfinite(v.value()) && std::abs(v.value()) < 3.0);
        for (int i = 1; i < 100 && v.advance(5.0 + i / 10.0); ++i) {
        }
        QCOMPARE(v.value(), 1.0);
        // A second dismissal does not restart the 0.14 s fade.
        AnimatedValue fade(1.0, 0.22, 0.72);
        fade.easeTo(0.0, 0.14, QEasingCurve::OutQuad, 0.0);
        QVERIFY(fade.advance(0.1));
        fade.easeTo(0.0, 0.14, QEasingCurve::OutQuad, 0.1);
        QVERIFY(fade.advance(0.139));
        QVERIFY(!fade.advance(0.14));
        QCOMPARE(fade.value(), 0.0);
        // Easing to where it already rests asks for no frames.
        fade.easeTo(0.0, 0.12, QEasingCurve::InOutQuad, 0.2);
        QVERIFY(!fade.isAnimating());
    }
};

QTEST_MAIN(TestHud)
#include "tst_hud.moc"
