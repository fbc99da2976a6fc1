#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "platform/fake/FakePlatform.h"

#include <cmath>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

// The built-in ring with a volume control in its top sector.
static RingProfile testRing(const QString& name = u"Test"_s)
{
    RingProfile ring = PresetProfiles::globalDefault();
    ring.name = name;
    ring.slots[0].action = ActionType::systemControl(SystemControlAction::volumeUp);
    return ring;
}

// Point at a clock angle and distance from the ring's centre (180, 180).
static QPoint polar(double clockDeg, double d)
{
    const double t = (clockDeg - 90.0) * M_PI / 180.0;
    return QPoint(qRound(180 + d * std::cos(t)), qRound(180 + d * std::sin(t)));
}

// A real pointer move delivered to the ring view.
static void moveOver(QWidget* view, const QPointF& at)
{
    QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
}

static bool isBlue(const QColor& c)
{
    return c.blue() > 180 && c.red() < 100 && c.blue() > c.green();
}

class TestHudGui : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8()); }

    void init()
    {
        m_platform = new FakePlatform(this);
        Platform::setInstance(m_platform);
        m_executed.clear();
        m_panel =
            new WhirloPanel(*m_platform, [this](const RingProfile& profile, const std::optional<RunningApp>&,
                                                std::function<void()> onDismiss, QWidget* parent) {
                HudServices s;
                s.execute = [this](const ActionSlot& slot) { m_executed << slot.title; };
                s.getVolume = [] { return std::optional<float>(0.5f); };
                auto* view = new WhirloHUDView(profile, s, std::move(onDismiss), parent);
                view->setObjectName(profile.name);
                return view;
            });
    }

    void cleanup()
    {
        delete m_panel;
        delete m_platform;
    }

    void drawnStates()
    {
        auto dark = makeView(u"dark"_s);
        const QImage d = grab(*dark);
        QCOMPARE(qAlpha(d.pixel(2, 2)), 0); // nothing outside the ring
        const QPoint sector = polar(60, 125);
        QVERIFY2(d.pixelColor(sector).lightness() < 90, qPrintable(d.pixelColor(sector).name()));

        // The hovered sector turns blue and reaches out to 148; its neighbours stay.
        dark->controller().handlePointerMove(polar(45, 100));
        const QImage hovered = grab(*dark);
        QVERIFY(isBlue(hovered.pixelColor(sector)) && !isBlue(d.pixelColor(sector)));
        QVERIFY(isBlue(hovered.pixelColor(polar(55, 145))) && !isBlue(d.pixelColor(polar(55, 145))));
        QCOMPARE(hovered.pixelColor(polar(150, 125)), d.pixelColor(polar(150, 125)));

        // Over the volume slot the hub shows the level: half way, clockwise from the top.
        dark->controller().handlePointerMove(polar(0, 100));
        const QImage gauge = grab(*dark);
        const int r = qRound(65.1 / 2);
        QVERIFY(isBlue(gauge.pixelColor(180 + r, 180)) && !isBlue(gauge.pixelColor(180 - r, 180)));
        QVERIFY(!isBlue(hovered.pixelColor(180 + r, 180)));

        // A forced theme wins; anything else follows the desktop.
        QVERIFY(!WhirloHUDView::resolveDarkMode(u"light"_s, true) &&
                WhirloHUDView::resolveDarkMode(u"sepia"_s, true));
        auto light = makeView(u"light"_s, 0.8f, true);
        QVERIFY2(grab(*light).pixelColor(sector).lightness() > 200,
                 qPrintable(grab(*light).pixelColor(sector).name()));
        // Muted: an orange speaker, no level arc.
        light->controller().handlePointerMove(polar(0, 100));
        const QImage m = grab(*light);
        int orange = 0, blue = 0;
        for (int y = 140; y < 220; ++y)
            for (int x = 140; x < 220; ++x) {
                const QColor c = m.pixelColor(x, y);
                orange += (c.red() > 200 && c.green() > 100 && c.green() < 190 && c.blue() < 80) ? 1 : 0;
                blue += isBlue(c) ? 1 : 0;
            }
        QVERIFY2(orange > 30 && blue == 0, qPrintable(u"%1 %2"_s.arg(orange).arg(blue)));
    }

    void imageIconIsNotSmeared()
    {
        // A theme holding one plain red image, shown in the right-hand sector.
        QTemporaryDir themes;
        QDir(themes.path()).mkpath(u"t/48"_s);
        QFile index(themes.filePath(u"t/index.theme"_s));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=t\nDirectories=48\n[48]\nSize=48\nType=Fixed\n");
        index.close();
        QImage red(48, 48, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(themes.filePath(u"t/48/red-square.png"_s)));
        const QStringList oldPaths = QIcon::themeSearchPaths();
        const QString oldTheme = QIcon::themeName();
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(u"t"_s);
        RingProfile ring = testRing();
        ring.slots[2].icon = IconInfo::customImage(u"red-square"_s);
        AppSettings::setValue(u"rondix_theme_mode"_s, u"dark"_s);
        WhirloHUDView view(ring, HudServices{}, [] {});
        view.appear();
        const QImage img = grab(view);
        QIcon::setThemeName(oldTheme);
        QIcon::setThemeSearchPaths(oldPaths);
        // The dark theme's glyph shadow is for symbols; an image drawn again
        // around itself would come out smeared, a pixel wider on every side.
        int redPixels = 0;
        for (int y = 140; y < 220; ++y)
            for (int x = 240; x < 310; ++x) {
                const QColor c = img.pixelColor(x, y);
                redPixels += (c.red() > 180 && c.green() < 90 && c.blue() < 90) ? 1 : 0;
            }
        QVERIFY2(redPixels > 400 && redPixels <= 23 * 23, qPrintable(QString::number(redPixels)));
    }

    void backdropWithoutCompositor()
    {
        auto view = makeView(u"dark"_s);
        QPixmap backdrop(360, 360);
        backdrop.fill(QColor(200, 30, 30));
        view->setBackdrop(backdrop);
        const QImage img = grab(*view);
        // Opaque everywhere: the desktop outside, darkened by the shadow near the
        // disc, hidden under the ring.
        QCOMPARE(img.pixelColor(3, 3), QColor(200, 30, 30));
        const QColor shadowed = img.pixelColor(180, 330);
        QVERIFY(shadowed.alpha() == 255 && shadowed.red() < 200 && shadowed.red() > 60);
        QVERIFY(img.pixelColor(polar(60, 125)).red() < 120);
    }

    void clamping_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("origin");
        const QRect screen(0, 25, 1440, 875); // below a 25 px top bar
        QTest::newRow("bottom-left corner") << QPoint(10, 890) << screen << QPoint(0, 540);
        QTest::newRow("top-right corner") << QPoint(1435, 30) << screen << QPoint(1080, 25);
        QTest::newRow("exactly fits left") << QPoint(180, 400) << screen << QPoint(0, 220);
        QTest::newRow("one past right") << QPoint(1261, 400) << screen << QPoint(1080, 220);
        // Smaller than the panel: right and top edges line up.
        QTest::newRow("narrow area") << QPoint(0, 0) << QRect(100, 50, 200, 300) << QPoint(-60, 50);
    }

    void clamping()
    {
        QFETCH(QPoint, point);
        QFETCH(QRect, area);
        QFETCH(QPoint, origin);
        QCOMPARE(RingSurface::clampedOrigin(point, area), origin);
    }

    void showAndHide()
    {
        m_panel->show(QPoint(400, 300), testRing(), std::nullopt);
        QWidget* w = m_panel->window();
        QVERIFY(m_panel->isShown() && w->isVisible());
        QCOMPARE(w->size(), QSize(360, 360));
        QVERIFY(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);
        QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(m_platform->input->keysSelected() && m_platform->input->buttonsSelected());
        // Summoned again: one ring, still one hide releases the monitors.
        m_panel->show(QPoint(800, 500), testRing(), std::nullopt);
        m_panel->hide();
        QVERIFY(!m_panel->isShown() && !w->isVisible() && !m_panel->hud());
        QVERIFY(!m_platform->input->keysSelected() && !m_platform->input->buttonsSelected());
    }

    void staleDismissIgnoredThenOwnDismissHides()
    {
        QSignalSpy hidden(m_panel, &WhirloPanel::hidden);
        m_panel->show(QPoint(400, 300), testRing(u"first"_s), std::nullopt);
        QPointer<WhirloHUDView> first = m_panel->hud();
        // The first ring starts fading, then a new summon comes before the fade ends:
        // the old ring's callback must not hide the new one.
        first->controller().handlePointerExit();
        m_panel->show(QPoint(400, 300), testRing(u"second"_s), std::nullopt);
        QTest::qWait(300);
        QVERIFY(m_panel->isShown() && first.isNull());
        HudController& hud = m_panel->hud()->controller();
        QCOMPARE(m_panel->hud()->objectName(), u"second"_s);
        // Its own dismissal runs the action at once and hides after the fade.
        hud.handlePointerMove(polar(45, 100));
        hud.handlePointerRelease(polar(45, 100));
        QCOMPARE(m_executed, QStringList{testRing().slots[1].title});
        QVERIFY(m_panel->isShown());
        QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isShown(), 1000);
        QCOMPARE(hidden.size(), 1);
        QVERIFY(!m_platform->input->keysSelected());
    }

    void inputClosesRing_data()
    {
        QTest::addColumn<int>("key"); // -1: a button press instead
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("where");
        QTest::addColumn<bool>("hides");
        QTest::newRow("Escape") << 53 << -1 << QPoint() << true;
        QTest::newRow("Return") << 36 << -1 << QPoint() << false;
        QTest::newRow("left outside") << -1 << 0 << QPoint(5, 5) << true;
        QTest::newRow("right outside") << -1 << 1 << QPoint(5, 5) << true;
        QTest::newRow("middle outside") << -1 << 2 << QPoint(5, 5) << false;
        QTest::newRow("left on the ring") << -1 << 0 << QPoint(400, 300) << false;
    }

    void inputClosesRing()
    {
        QFETCH(int, key);
        QFETCH(int, button);
        QFETCH(QPoint, where);
        QFETCH(bool, hides);
        QSignalSpy hidden(m_panel, &WhirloPanel::hidden);
        m_panel->show(QPoint(400, 300), testRing(), std::nullopt);
        m_platform->fakeInput->pointer = where;
        if (key >= 0) {
            m_platform->fakeInput->pressKey(key);
            QCOMPARE(!m_panel->isShown(), hides); // at once, no fade
        } else {
            m_platform->fakeInput->pressButton(button);
            QVERIFY(m_panel->isShown()); // never within the event itself
        }
        QCoreApplication::processEvents();
        QCOMPARE(!m_panel->isShown(), hides);
        QVERIFY(m_executed.isEmpty());
        QCOMPARE(hidden.size(), hides ? 1 : 0);
    }

    // Real wheel events through the view, over the volume slot in the top sector.
    void wheelStepsVolume_data()
    {
        QTest::addColumn<QList<QPoint>>("angles"); // one event each
        QTest::addColumn<QList<QPoint>>("pixels"); // same length; (0, 0): none
        QTest::addColumn<bool>("alt");
        QTest::addColumn<QList<int>>("steps"); // +1 / -1 per volume step, in order
        const QPoint none;
        QTest::newRow("wheel notch up") << QList<QPoint>{{0, 120}} << QList<QPoint>{none} << false
                                        << QList<int>{1};
        QTest::newRow("wheel notch down") << QList<QPoint>{{0, -120}} << QList<QPoint>{none} << false
                                          << QList<int>{-1};
        QTest::newRow("two notches in one event, one step")
            << QList<QPoint>{{0, 240}} << QList<QPoint>{none} << false << QList<int>{1};
        // Touchpads on X11: small angle deltas, no pixel delta; 3 degrees each.
        QTest::newRow("touchpad: three small deltas make one step")
            << QList<QPoint>{{0, 24}, {0, 24}, {0, 24}} << QList<QPoint>{none, none, none} << false
            << QList<int>{1};
        QTest::newRow("high-resolution wheel: eighth notches")
            << QList<QPoint>(8, QPoint(0, 15)) << QList<QPoint>(8, none) << false << QList<int>{1};
        QTest::newRow("pixel deltas") << QList<QPoint>{{0, 24}, {0, 24}, {0, 24}}
                                      << QList<QPoint>{{0, 3}, {0, 3}, {0, 3}} << false << QList<int>{1};
        // Alt still held from Alt+Space: Qt reports the wheel on the horizontal axis.
        QTest::newRow("alt held: sideways notch") << QList<QPoint>{{120, 0}} << QList<QPoint>{none} << true
                                                  << QList<int>{1};
        QTest::newRow("alt held: sideways touchpad")
            << QList<QPoint>{{-48, 0}, {-48, 0}} << QList<QPoint>{none, none} << true << QList<int>{-1};
        QTest::newRow("sideways without alt is ignored")
            << QList<QPoint>{{120, 0}} << QList<QPoint>{none} << false << QList<int>{};
    }

    void wheelStepsVolume()
    {
        QFETCH(QList<QPoint>, angles);
        QFETCH(QList<QPoint>, pixels);
        QFETCH(bool, alt);
        QFETCH(QList<int>, steps);
        float volume = 0.5f;
        QList<int> made;
        HudServices s;
        s.getVolume = [&volume] { return std::optional<float>(volume); };
        s.setVolume = [&](float v) {
            made << (v > volume ? 1 : -1);
            volume = v;
        };
        WhirloHUDView view(testRing(), s, [] {});
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        moveOver(&view, polar(0, 100));
        QCOMPARE(view.controller().hoveredSectorIndex(), std::optional<int>(0));
        const QPointF at = polar(0, 100);
        for (int i = 0; i < angles.size(); ++i) {
            QWheelEvent event(at, view.mapToGlobal(at), pixels[i], angles[i], Qt::NoButton,
                              alt ? Qt::AltModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&view, &event);
            QVERIFY(event.isAccepted());
        }
        QCOMPARE(made, steps);
    }

    // The names Rondix gives sectors itself (every system control, the built-in
    // ring) fit a title without an ellipsis, also in the larger hovered font.
    void builtInNamesFitTheRing_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("ja") << "ja";
    }

    void builtInNamesFitTheRing()
    {
        QFETCH(QString, language);
        L10n::shared().setCurrentLanguage(language);
        QStringList names;
        for (SystemControlAction control : SystemControl::allCases())
            names << SystemControl::localizedName(control);
        RingProfile ring = PresetProfiles::globalDefault();
        for (const ActionSlot& slot : ring.slots)
            names << slot.displayTitle();
        // Every sector of the built-in ring shows the same name once hovered.
        ring.slots[0].action = ActionType::systemControl(SystemControlAction::screenshotArea);
        WhirloHUDView view(ring, HudServices{}, [] {});
        view.appear();
        QStringList tooWide;
        for (bool hovered : {false, true}) {
            const QFontMetricsF fm(view.titleFont(hovered));
            for (const QString& name : names) {
                if (fm.horizontalAdvance(name) > WhirloHUDView::kTitleWidth ||
                    fm.elidedText(name, Qt::ElideRight, WhirloHUDView::kTitleWidth) != name)
                    tooWide << QStringLiteral("%1 (%2)").arg(name).arg(fm.horizontalAdvance(name));
            }
        }
        QVERIFY2(tooWide.isEmpty(), qPrintable(tooWide.join(QStringLiteral(", "))));
        // No name of ours comes out in another language.
        for (const QString& name : names)
            QVERIFY2(!name.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))) ||
                         language == QLatin1String("ja"),
                     qPrintable(name));
        if (qEnvironmentVariableIsSet("RONDIX_SCREENSHOT_DIR")) // to look at the ring
            grab(view).save(QDir(qEnvironmentVariable("RONDIX_SCREENSHOT_DIR"))
                                .filePath(QStringLiteral("ring-%1.png").arg(language)));
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));
    }

    void maskWithoutCompositor()
    {
        m_platform->fakeWindows->compositing = false;
        m_panel->show(QPoint(400, 300), testRing(), std::nullopt);
        const QRegion mask = m_panel->window()->mask();
        QVERIFY(mask.contains(QPoint(180, 180)));
        QVERIFY(mask.contains(QPoint(180, 31))); // a hovered sector's tip
        QVERIFY(!mask.contains(QPoint(2, 2)));
        m_panel->hide();
        m_platform->fakeWindows->compositing = true;
        m_panel->show(QPoint(400, 300), testRing(), std::nullopt);
        QVERIFY(m_panel->window()->mask().isEmpty());
    }

private:
    std::unique_ptr<WhirloHUDView> makeView(const QString& theme, float volume = 0.5f, bool muted = false)
    {
        AppSettings::setValue(u"rondix_theme_mode"_s, theme);
        HudServices s;
        s.getVolume = [volume] { return std::optional<float>(volume); };
        s.isMuted = [muted] { return muted; };
        auto view = std::make_unique<WhirloHUDView>(testRing(), s, [] {});
        view->appear();
        return view;
    }

    static QImage grab(WhirloHUDView& view)
    {
        view.finishAnimations();
        return view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }

    QTemporaryDir m_config;
    FakePlatform* m_platform = nullptr;
    WhirloPanel* m_panel = nullptr;
    QStringList m_executed;
};

QTEST_MAIN(TestHudGui)
#include "tst_hudgui.moc"
