// The ring editor's rules without a window: which sector a click or a drop
// lands on, what a dropped icon does to a slot, and what each chip reads.
#include "hud/RadialGeometry.h"
#include "l10n/L10n.h"
#include "settings/RingEditorRules.h"
#include "ShippedStrings.h"

#include <cmath>
#include <QTemporaryDir>
#include <QTest>

namespace R = RingEditorRules;

namespace {

// The point at `distance` from the centre in the direction of a clock angle.
QPointF at(double clockAngle, double distance)
{
    const double t = qDegreesToRadians(clockAngle);
    return {distance * std::sin(t), -distance * std::cos(t)};
}

} // namespace

class TestRingEditorRules : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        useShippedStrings(m_dir);
    }

    void click_data()
    {
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<int>("sector"); // -1: nothing selected

        QTest::newRow("hub edge, 40 above") << QPointF(0, -40) << 0;
        QTest::newRow("inside the hub, 39.9 above") << QPointF(0, -39.9) << -1;
        QTest::newRow("centre") << QPointF(0, 0) << -1;
        QTest::newRow("168 to the right") << QPointF(168, 0) << 2;
        QTest::newRow("168.1 to the right") << QPointF(168.1, 0) << -1;
        QTest::newRow("168 below") << QPointF(0, 168) << 4;
        QTest::newRow("frame corner is outside") << QPointF(150, 150) << -1;
        QTest::newRow("straight above") << QPointF(0, -100) << 0;
        QTest::newRow("straight right") << QPointF(100, 0) << 2;
        QTest::newRow("straight left") << QPointF(-100, 0) << 6;
        QTest::newRow("a hair before 22.5 degrees") << at(22.49, 100) << 0;
        QTest::newRow("a hair past 22.5 degrees") << at(22.51, 100) << 1;
        QTest::newRow("just left of north") << at(359.9, 100) << 0;
        QTest::newRow("just right of 337.5") << at(337.6, 100) << 0;
        QTest::newRow("just left of 337.5") << at(337.4, 100) << 7;
        QTest::newRow("south-west") << QPointF(-70, 70) << 5;
        // Exactly on the diagonal between the two sectors around it: no gap to fall into.
        QTest::newRow("diagonal within the drawn gap") << at(67.5, 60) << 2;
    }

    void click()
    {
        QFETCH(QPointF, offset);
        QFETCH(int, sector);
        const std::optional<int> k = R::sectorForClick(offset);
        QCOMPARE(k.value_or(-1), sector);
    }

    // The boundary angle itself belongs to the sector after it.
    void boundaryAngles_data()
    {
        QTest::addColumn<double>("angle");
        QTest::addColumn<int>("sector");
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("22.5") << 22.5 << 1;
        QTest::newRow("67.5") << 67.5 << 2;
        QTest::newRow("337.5") << 337.5 << 0;
        QTest::newRow("359.999") << 359.999 << 0;
    }

    void boundaryAngles()
    {
        QFETCH(double, angle);
        QFETCH(int, sector);
        // A point exactly on a boundary is not representable; the rule is
        // checked on the clock angle a click is turned into, and just past it.
        QCOMPARE(RadialGeometry::sectorIndex(angle), sector);
        QCOMPARE(R::sectorForClick(at(angle + 1e-6, 100)).value(), sector);
    }

    void drop_data()
    {
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<int>("sector");
        QTest::newRow("on the hub, towards the right") << QPointF(10, 0) << 2;
        QTest::newRow("in a corner, lower left") << QPointF(-149, 149) << 5;
        QTest::newRow("far outside, above") << QPointF(0, -1000) << 0;
        QTest::newRow("dead centre") << QPointF(0, 0) << 2; // atan2(0, 0) is 0: clock angle 90
    }

    void drop()
    {
        QFETCH(QPointF, offset);
        QFETCH(int, sector);
        QCOMPARE(R::sectorForDrop(offset), sector);
    }

    void droppedIcon_data()
    {
        QTest::addColumn<ActionSlot>("slot");
        QTest::addColumn<IconInfo>("icon");
        QTest::addColumn<ActionSlot>("expected");

        const ActionSlot empty = ActionSlot::empty(5);
        const IconInfo app = IconInfo::app("org.gnome.Calculator", "Calculator", "/usr/share/a/c.desktop");
        ActionSlot launch = empty;
        launch.icon = app;
        launch.title = "Calculator";
        launch.action = ActionType::launchApp("org.gnome.Calculator", "Calculator", "/usr/share/a/c.desktop");
        launch.isEnabled = true;
        QTest::newRow("app on an empty sector launches it") << empty << app << launch;

        ActionSlot star = empty;
        star.icon = IconInfo::sfSymbol("star");
        QTest::newRow("symbol on an empty sector: icon only, still disabled")
            << empty << IconInfo::sfSymbol("star") << star;

        ActionSlot url = empty;
        url.title = "Docs";
        url.action = ActionType::openURL("example.org");
        url.isEnabled = true;
        ActionSlot urlImage = url;
        urlImage.icon = IconInfo::customImage("help-browser");
        QTest::newRow("image on a working sector keeps its action and title")
            << url << IconInfo::customImage("help-browser") << urlImage;

        ActionSlot urlApp = launch;
        urlApp.id = url.id;
        QTest::newRow("app replaces the action and title of a working sector") << url << app << urlApp;
    }

    void droppedIcon()
    {
        QFETCH(ActionSlot, slot);
        QFETCH(IconInfo, icon);
        QFETCH(ActionSlot, expected);
        QCOMPARE(R::slotAfterDrop(slot, icon), expected);
    }

    // A missing sector is edited as a blank slot of that index.
    void missingSectorIsBlank()
    {
        RingProfile ring = RingProfile::fromStored(QUuid::createUuid(), "r", std::nullopt, std::nullopt,
                                                   {ActionSlot::empty(0)}, false);
        const ActionSlot blank = R::slotOrBlank(ring, 6);
        QCOMPARE(blank.index, 6);
        QVERIFY(blank.action.isNone() && !blank.isEnabled && blank.title.isEmpty());
        QCOMPARE(blank.icon, IconInfo::sfSymbol({}));
        QVERIFY(R::slotOrBlank(ring, 6).id != blank.id); // a fresh identity each time
    }

    void chipTitle_data()
    {
        QTest::addColumn<ActionSlot>("slot");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("chip");

        ActionSlot copy = ActionSlot::empty(1);
        copy.title = "Copy";
        copy.action = ActionType::shortcut("C", 8, {.control = true});
        copy.isEnabled = true;
        QTest::newRow("working slot shows its display title") << copy << true << "Copy";
        ActionSlot unassigned = copy;
        unassigned.title = "未分配";
        QTest::newRow("the literal title reads empty even with an action") << unassigned << true << "Empty";
        ActionSlot untitled = copy;
        untitled.title.clear();
        QTest::newRow("no title") << untitled << true << "Empty";
        ActionSlot off = copy;
        off.isEnabled = false;
        QTest::newRow("disabled") << off << true << "Empty";
        ActionSlot none = copy;
        none.action = ActionType::none();
        QTest::newRow("no action") << none << true << "Empty";
        ActionSlot system = ActionSlot::empty(2);
        system.title = "锁定屏幕";
        system.action = ActionType::systemControl(SystemControlAction::lockScreen);
        system.isEnabled = true;
        QTest::newRow("automatic system title follows the language") << system << true
                                                                     << SystemControl::localizedName(SystemControlAction::lockScreen);
        QTest::newRow("no slot at all") << ActionSlot() << false << "Empty";
    }

    void chipTitle()
    {
        QFETCH(ActionSlot, slot);
        QFETCH(bool, present);
        QFETCH(QString, chip);
        QCOMPARE(R::chipTitle(present ? std::optional<ActionSlot>(slot) : std::nullopt), chip);
    }

    void arrowKeys_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::newRow("right goes clockwise") << 0 << int(Qt::Key_Right) << 1;
        QTest::newRow("down goes clockwise, wrapping") << 7 << int(Qt::Key_Down) << 0;
        QTest::newRow("left wraps back") << 0 << int(Qt::Key_Left) << 7;
        QTest::newRow("up") << 4 << int(Qt::Key_Up) << 3;
        QTest::newRow("other keys") << 4 << int(Qt::Key_A) << 4;
    }

    void arrowKeys()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        QCOMPARE(R::selectionAfterKey(from, key), to);
    }
};

QTEST_GUILESS_MAIN(TestRingEditorRules)
#include "tst_ringeditorrules.moc"
