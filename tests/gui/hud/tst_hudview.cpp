#include "common/AppSettings.h"
#include "hud/WhirloHUDView.h"
#include "HudTestRing.h"

#include <cmath>
#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Point at a clock angle and distance from the HUD centre (180, 180).
static QPoint polar(double clockDeg, double d)
{
    const double t = (clockDeg - 90.0) * M_PI / 180.0;
    return QPoint(qRound(180 + d * std::cos(t)), qRound(180 + d * std::sin(t)));
}

static bool isBlue(const QColor& c)
{
    return c.blue() > 180 && c.red() < 100 && c.blue() > c.green();
}

class TestHudView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void themeChoice_data();
    void themeChoice();
    void restingRing_data();
    void restingRing();
    void hoveredSectorIsBlue_data();
    void hoveredSectorIsBlue();
    void volumeGaugeReplacesCloseMark();
    void mutedGaugeIsOrange();
    void hubHoverChangesHub();
    void pressShrinksHoveredSector();
    void animationsStopWhenSettled();
    void dismissFadesThenCallsBack();
    void realMouseEventsDriveTheRing();
    void backdropShowsThroughWithoutCompositor();

private:
    std::unique_ptr<WhirloHUDView> makeView(const QString& theme, float volume = 0.5f, bool muted = false,
                                            int* dismissCalls = nullptr);
    QImage grab(WhirloHUDView& view, const QString& saveAs = QString());

    QTemporaryDir m_config;
    int m_steps = 0;
};

void TestHudView::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

std::unique_ptr<WhirloHUDView> TestHudView::makeView(const QString& theme, float volume, bool muted,
                                                     int* dismissCalls)
{
    AppSettings::setValue(QStringLiteral("rondix_theme_mode"), theme);
    HudServices s;
    s.getVolume = [volume] { return std::optional<float>(volume); };
    s.isMuted = [muted] { return muted; };
    s.setVolume = [this](float) { ++m_steps; };
    s.execute = [](const ActionSlot&) {};
    auto view = std::make_unique<WhirloHUDView>(hudTestRing(), s, [dismissCalls] {
        if (dismissCalls)
            ++*dismissCalls;
    });
    view->appear();
    view->finishAnimations();
    return view;
}

QImage TestHudView::grab(WhirloHUDView& view, const QString& saveAs)
{
    view.finishAnimations();
    const QImage img = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    if (!saveAs.isEmpty())
        img.save(QStringLiteral(RONDIX_BINARY_DIR "/") + saveAs);
    return img;
}

void TestHudView::themeChoice_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("systemDark");
    QTest::addColumn<bool>("dark");
    QTest::newRow("light forced on a dark desktop") << "light" << true << false;
    QTest::newRow("dark forced on a light desktop") << "dark" << false << true;
    QTest::newRow("system dark") << "system" << true << true;
    QTest::newRow("system light") << "system" << false << false;
    QTest::newRow("unknown follows the desktop") << "sepia" << true << true;
}

void TestHudView::themeChoice()
{
    QFETCH(QString, mode);
    QFETCH(bool, systemDark);
    QFETCH(bool, dark);
    QCOMPARE(WhirloHUDView::resolveDarkMode(mode, systemDark), dark);
}

void TestHudView::restingRing_data()
{
    QTest::addColumn<QString>("theme");
    QTest::newRow("dark") << "dark";
    QTest::newRow("light") << "light";
}

void TestHudView::restingRing()
{
    QFETCH(QString, theme);
    auto view = makeView(theme);
    QCOMPARE(view->isDarkMode(), theme == QLatin1String("dark"));
    const QImage img = grab(*view, QStringLiteral("hud-%1.png").arg(theme));
    QCOMPARE(img.size(), QSize(360, 360));
    // Corners stay transparent: the window shows nothing outside the ring.
    QCOMPARE(qAlpha(img.pixel(2, 2)), 0);
    QCOMPARE(qAlpha(img.pixel(357, 357)), 0);
    const QColor hub = img.pixelColor(180, 150 + 20); // inside the hub, off the mark
    const QColor sector = img.pixelColor(polar(60, 125));
    const QColor gap = img.pixelColor(polar(22.5, 125)); // between two wedges: the disc
    QVERIFY(hub.alpha() > 240);
    QVERIFY(sector.alpha() > 200);
    if (theme == QLatin1String("dark")) {
        QVERIFY2(hub.lightness() < 80, qPrintable(hub.name()));
        QVERIFY2(sector.lightness() < 90, qPrintable(sector.name()));
    } else {
        QVERIFY2(hub.lightness() > 200, qPrintable(hub.name()));
        QVERIFY2(sector.lightness() > 200, qPrintable(sector.name()));
    }
    QVERIFY(!isBlue(sector));
    // The disc in the gaps differs from the sectors themselves.
    QVERIFY(gap != sector);
    // The disc ends at radius 143: beyond it only the faint shadow remains.
    QVERIFY(qAlpha(img.pixel(polar(90, 150))) < 120);
}

void TestHudView::hoveredSectorIsBlue_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<int>("sector");
    QTest::newRow("dark, copy") << "dark" << 1;
    QTest::newRow("light, lock") << "light" << 4;
    QTest::newRow("dark, empty sector") << "dark" << 5;
}

void TestHudView::hoveredSectorIsBlue()
{
    QFETCH(QString, theme);
    QFETCH(int, sector);
    auto view = makeView(theme);
    const QImage before = grab(*view);
    view->controller().handlePointerMove(polar(sector * 45.0, 100));
    QCOMPARE(view->controller().hoveredSectorIndex(), sector);
    const QImage img = grab(*view, sector == 1 ? QStringLiteral("hud-%1-hovered.png").arg(theme) : QString());
    QVERIFY2(isBlue(img.pixelColor(polar(sector * 45.0 + 15, 125))),
             qPrintable(img.pixelColor(polar(sector * 45.0 + 15, 125)).name()));
    // The hovered wedge reaches out to 148; at rest it ended at 138.
    QVERIFY(isBlue(img.pixelColor(polar(sector * 45.0 + 10, 145))));
    QVERIFY(!isBlue(before.pixelColor(polar(sector * 45.0 + 10, 145))));
    // Neighbours stay as they were.
    const QPoint neighbour = polar((sector + 2) * 45.0 + 15, 125);
    QCOMPARE(img.pixelColor(neighbour), before.pixelColor(neighbour));
}

void TestHudView::volumeGaugeReplacesCloseMark()
{
    auto view = makeView(QStringLiteral("dark"), 0.5f);
    const QImage plain = grab(*view);
    view->controller().handlePointerMove(polar(0, 100));
    QVERIFY(view->controller().isVolumeHovered());
    const QImage img = grab(*view, QStringLiteral("hud-dark-volume.png"));
    // The level arc starts at the top and runs clockwise to half way: blue at
    // the right edge of the gauge, track only at the left.
    const double r = 65.1 / 2;
    QVERIFY2(isBlue(img.pixelColor(qRound(180 + r), 180)),
             qPrintable(img.pixelColor(qRound(180 + r), 180).name()));
    QVERIFY(isBlue(img.pixelColor(polar(10, r))));
    QVERIFY(!isBlue(img.pixelColor(qRound(180 - r), 180)));
    QVERIFY(!isBlue(plain.pixelColor(qRound(180 + r), 180)));
    // The close mark is gone from the middle of the hub.
    QVERIFY(plain.pixelColor(180, 180) != img.pixelColor(180, 180) ||
            plain.pixelColor(176, 176) != img.pixelColor(176, 176));
    // Scrolling steps the volume while over the volume slot.
    view->controller().handleScrollWheel(1, false);
    QCOMPARE(m_steps, 1);
}

void TestHudView::mutedGaugeIsOrange()
{
    auto view = makeView(QStringLiteral("light"), 0.8f, true);
    view->controller().handlePointerMove(polar(0, 100));
    const QImage img = grab(*view, QStringLiteral("hud-light-muted.png"));
    int orange = 0, blue = 0;
    for (int y = 140; y < 220; ++y)
        for (int x = 140; x < 220; ++x) {
            const QColor c = img.pixelColor(x, y);
            orange += (c.red() > 200 && c.green() > 100 && c.green() < 190 && c.blue() < 80) ? 1 : 0;
            blue += isBlue(c) ? 1 : 0;
        }
    QVERIFY2(orange > 30, qPrintable(QString::number(orange)));
    QCOMPARE(blue, 0); // empty arc
}

void TestHudView::hubHoverChangesHub()
{
    auto view = makeView(QStringLiteral("dark"));
    const QImage rest = grab(*view);
    view->controller().handlePointerMove(QPointF(180, 185));
    QVERIFY(view->controller().isHoveringCenter());
    const QImage hover = grab(*view);
    // The hub gets lighter (white 0.3 instead of 0.2).
    QVERIFY(hover.pixelColor(180, 160).lightness() > rest.pixelColor(180, 160).lightness());
}

void TestHudView::pressShrinksHoveredSector()
{
    auto view = makeView(QStringLiteral("dark"));
    view->controller().handlePointerMove(polar(90, 100));
    const QImage up = grab(*view);
    view->controller().handlePointerPress(polar(90, 100));
    const QImage down = grab(*view);
    // At 0.98 the wedge's outer edge (148) pulls in by about 3 px.
    auto reach = [](const QImage& img) {
        double last = 0;
        for (double r = 100; r < 170; r += 0.25)
            if (isBlue(img.pixelColor(polar(100, r))))
                last = r;
        return last;
    };
    QVERIFY2(reach(up) > 144, qPrintable(QString::number(reach(up))));
    QVERIFY2(reach(down) < reach(up) - 1.5, qPrintable(QString::number(reach(down))));
    QVERIFY(reach(down) > 138);
}

void TestHudView::animationsStopWhenSettled()
{
    auto view = makeView(QStringLiteral("dark"));
    QVERIFY(!view->isAnimating());
    view->controller().handlePointerMove(polar(45, 100));
    QVERIFY(view->isAnimating());
    QTRY_VERIFY_WITH_TIMEOUT(!view->isAnimating(), 2000);
    // Moving inside the same sector changes nothing and wakes nothing.
    view->controller().handlePointerMove(polar(50, 110));
    QVERIFY(!view->isAnimating());
}

void TestHudView::dismissFadesThenCallsBack()
{
    int calls = 0;
    auto view = makeView(QStringLiteral("dark"), 0.5f, false, &calls);
    view->controller().handlePointerExit();
    QTest::qWait(60);
    QCOMPARE(calls, 0);                     // still fading
    view->controller().handlePointerExit(); // each request schedules its own call
    QTRY_COMPARE_WITH_TIMEOUT(calls, 2, 1000);
    const QImage img = grab(*view);
    QCOMPARE(qAlpha(img.pixel(180, 180)), 0); // faded out completely
}

void TestHudView::realMouseEventsDriveTheRing()
{
    auto view = makeView(QStringLiteral("dark"));
    view->show();
    QTest::mouseMove(view.get(), polar(90, 100));
    QCOMPARE(view->controller().hoveredSectorIndex(), 2);
    QTest::mousePress(view.get(), Qt::RightButton, {}, polar(90, 100));
    QVERIFY(!view->controller().isMouseDown()); // only the primary button counts
    QTest::mousePress(view.get(), Qt::LeftButton, {}, polar(90, 100));
    QVERIFY(view->controller().isMouseDown());
}

void TestHudView::backdropShowsThroughWithoutCompositor()
{
    auto view = makeView(QStringLiteral("dark"));
    QPixmap backdrop(360, 360);
    backdrop.fill(QColor(200, 30, 30));
    view->setBackdrop(backdrop);
    const QImage img = grab(*view);
    // Opaque everywhere; the desktop where the ring is not, darkened by the
    // shadow just outside the disc, hidden under the ring.
    QCOMPARE(img.pixelColor(3, 3), QColor(200, 30, 30));
    const QColor shadowed = img.pixelColor(180, 180 + 150);
    QCOMPARE(shadowed.alpha(), 255);
    QVERIFY(shadowed.red() < 200 && shadowed.red() > 60);
    QVERIFY(img.pixelColor(polar(60, 125)).red() < 120);
}

QTEST_MAIN(TestHudView)
#include "tst_hudview.moc"
