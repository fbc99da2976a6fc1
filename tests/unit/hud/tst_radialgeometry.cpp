#include "hud/RadialGeometry.h"

#include <cmath>
#include <limits>
#include <QTest>

using namespace RadialGeometry;

class TestRadialGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clockAngleOfOffsets_data();
    void clockAngleOfOffsets();
    void sectorOfAngle_data();
    void sectorOfAngle();
    void everyAngleMapsIntoRange();
    void midAngles_data();
    void midAngles();
    void centerPoints_data();
    void centerPoints();
    void wedgeOutline_data();
    void wedgeOutline();
    void wedgeContainsItsCentreOnly();
    void shapeCentredInRect();
    void nonFiniteAngles_data();
    void nonFiniteAngles();
};

void TestRadialGeometry::clockAngleOfOffsets_data()
{
    QTest::addColumn<QPointF>("offset");
    QTest::addColumn<double>("angle");
    QTest::newRow("up") << QPointF(0, -1) << 0.0;
    QTest::newRow("right") << QPointF(1, 0) << 90.0;
    QTest::newRow("down") << QPointF(0, 1) << 180.0;
    QTest::newRow("left") << QPointF(-1, 0) << 270.0;
    QTest::newRow("up-left") << QPointF(-1, -1) << 315.0;
    QTest::newRow("up-right") << QPointF(5, -5) << 45.0;
    QTest::newRow("centre") << QPointF(0, 0) << 90.0;
    QTest::newRow("just left of up") << QPointF(-1e-9, -1) << 360.0 - 1e-9 * 180.0 / M_PI;
}

void TestRadialGeometry::clockAngleOfOffsets()
{
    QFETCH(QPointF, offset);
    QFETCH(double, angle);
    const double a = clockAngle(offset);
    QVERIFY2(std::abs(a - angle) < 1e-9, qPrintable(QString::number(a, 'g', 17)));
    QVERIFY(a >= 0 && a < 360);
}

void TestRadialGeometry::sectorOfAngle_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<int>("sector");
    QTest::newRow("0") << 0.0 << 0;
    QTest::newRow("22.4999") << 22.4999 << 0;
    QTest::newRow("22.5 boundary goes clockwise") << 22.5 << 1;
    QTest::newRow("67.4999") << 67.4999 << 1;
    QTest::newRow("67.5") << 67.5 << 2;
    QTest::newRow("180") << 180.0 << 4;
    QTest::newRow("292.5") << 292.5 << 7;
    QTest::newRow("337.4999") << 337.4999 << 7;
    QTest::newRow("337.5") << 337.5 << 0;
    QTest::newRow("359.9") << 359.9 << 0;
    QTest::newRow("-22.5") << -22.5 << 0;
    QTest::newRow("-10") << -10.0 << 0;
    QTest::newRow("-30") << -30.0 << 7;
    QTest::newRow("370") << 370.0 << 0;
    QTest::newRow("382.5") << 382.5 << 1;
    QTest::newRow("720") << 720.0 << 0;
    QTest::newRow("-720.5") << -720.5 << 0;
    QTest::newRow("hair below -22.5") << std::nextafter(-22.5, -100.0) << 7;
    QTest::newRow("1e6 folds to 280") << 1e6 << 6;
}

void TestRadialGeometry::sectorOfAngle()
{
    QFETCH(double, angle);
    QFETCH(int, sector);
    QCOMPARE(sectorIndex(angle), sector);
}

void TestRadialGeometry::everyAngleMapsIntoRange()
{
    // Sweep a full turn either side in small steps: always 0...7, and each
    // result agrees with the sector whose span contains the folded angle.
    for (double a = -720.0; a <= 720.0; a += 0.37) {
        const int s = sectorIndex(a);
        QVERIFY(s >= 0 && s < 8);
        double folded = std::fmod(a, 360.0);
        if (folded < 0)
            folded += 360.0;
        double delta = std::fmod(folded - s * 45.0 + 540.0, 360.0) - 180.0;
        QVERIFY2(delta >= -22.5 - 1e-9 && delta < 22.5 + 1e-9, qPrintable(QString::number(a)));
    }
}

void TestRadialGeometry::midAngles_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("angle");
    for (int i = 0; i < 8; ++i)
        QTest::addRow("%d", i) << i << i * 45.0;
    QTest::newRow("8 wraps") << 8 << 0.0;
    QTest::newRow("9 wraps") << 9 << 45.0;
    QTest::newRow("-1 keeps sign") << -1 << -45.0;
}

void TestRadialGeometry::midAngles()
{
    QFETCH(int, index);
    QFETCH(double, angle);
    QCOMPARE(midAngle(index), angle);
}

void TestRadialGeometry::centerPoints_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("radius");
    QTest::addColumn<QPointF>("point");
    QTest::newRow("north") << 0 << 92.0 << QPointF(0, -92);
    QTest::newRow("east") << 2 << 92.0 << QPointF(92, 0);
    QTest::newRow("south") << 4 << 96.0 << QPointF(0, 96);
    QTest::newRow("west") << 6 << 10.0 << QPointF(-10, 0);
    QTest::newRow("north-east") << 1 << 100.0 << QPointF(100 / M_SQRT2, -100 / M_SQRT2);
    QTest::newRow("10 is east-north-east... wraps to 2") << 10 << 92.0 << QPointF(92, 0);
}

void TestRadialGeometry::centerPoints()
{
    QFETCH(int, index);
    QFETCH(double, radius);
    QFETCH(QPointF, point);
    const QPointF p = sectorCenterPoint(index, radius);
    QVERIFY2(QLineF(p, point).length() < 1e-9, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
}

static QPointF polar(double clockDeg, double r)
{
    const double t = (clockDeg - 90.0) * M_PI / 180.0;
    return {r * std::cos(t), r * std::sin(t)};
}

static double clockAngleSpan(const QPointF& from, const QPointF& to)
{
    double d = clockAngle(to) - clockAngle(from);
    if (d < 0)
        d += 360.0;
    return d;
}

void TestRadialGeometry::wedgeOutline_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("gap");
    QTest::newRow("north, gap 2.2") << 0 << 2.2;
    QTest::newRow("east, gap 2.2") << 2 << 2.2;
    QTest::newRow("north-west, no gap") << 7 << 0.0;
    QTest::newRow("south, gap 10") << 4 << 10.0;
}

void TestRadialGeometry::wedgeOutline()
{
    QFETCH(int, index);
    QFETCH(double, gap);
    const double inner = 46, outer = 138;
    const QPainterPath path = sectorPath(index, inner, outer, gap);
    const double half = (45.0 - gap) / 2.0;
    const double mid = index * 45.0;

    // Starts on the outer arc at the anticlockwise edge (QPainterPath places
    // arc points on its Bezier approximation, a few hundredths of a pixel off).
    const QPointF start = path.elementAt(0);
    QVERIFY2(QLineF(start, polar(mid - half, outer)).length() < 0.1,
             qPrintable(QStringLiteral("start %1,%2").arg(start.x()).arg(start.y())));

    // Runs clockwise on screen along the outer arc: a quarter in, the path is at
    // mid - half/2 on the outer radius.
    const double len = path.length();
    const double outerLen = outer * (45.0 - gap) * M_PI / 180.0;
    const QPointF quarter = path.pointAtPercent(path.percentAtLength(outerLen / 4));
    QVERIFY2(QLineF(quarter, polar(mid - half / 2, outer)).length() < 0.5,
             qPrintable(QStringLiteral("quarter %1,%2").arg(quarter.x()).arg(quarter.y())));

    // Then the radial edge to the inner end, the inner arc back, and the close.
    const double innerLen = inner * (45.0 - gap) * M_PI / 180.0;
    QVERIFY(std::abs(len - (outerLen + innerLen + 2 * (outer - inner))) < 0.5);
    const QPointF innerEnd = path.pointAtPercent(path.percentAtLength(outerLen + (outer - inner)));
    QVERIFY(QLineF(innerEnd, polar(mid + half, inner)).length() < 0.5);
    const QPointF innerMid =
        path.pointAtPercent(path.percentAtLength(outerLen + (outer - inner) + innerLen / 2));
    QVERIFY(QLineF(innerMid, polar(mid, inner)).length() < 0.5);

    // The angular span, measured from the bounding points of both edges.
    const double spanDeg = clockAngleSpan(start, innerEnd);
    QVERIFY2(std::abs(spanDeg - (45.0 - gap)) < 0.05, qPrintable(QString::number(spanDeg)));
}

void TestRadialGeometry::wedgeContainsItsCentreOnly()
{
    const QPainterPath wedge = sectorPath(1, 46, 138, 2.2);
    QVERIFY(wedge.contains(sectorCenterPoint(1, 92)));
    QVERIFY(!wedge.contains(sectorCenterPoint(0, 92)));
    QVERIFY(!wedge.contains(sectorCenterPoint(2, 92)));
    QVERIFY(!wedge.contains(QPointF(0, 0)));             // the hub is not part of it
    QVERIFY(!wedge.contains(sectorCenterPoint(1, 140))); // beyond the outer arc
    // The gap: on the boundary between 0 and 1 (clock 22.5) nothing is drawn.
    QVERIFY(!wedge.contains(polar(22.5, 92)));
    QVERIFY(sectorPath(1, 46, 138, 0).contains(polar(22.6, 92)));
}

void TestRadialGeometry::shapeCentredInRect()
{
    RadialSectorShape shape{2, 46, 148, 2.2};
    const QPainterPath p = shape.path(QRectF(0, 0, 320, 320));
    const QPainterPath origin = sectorPath(2, 46, 148, 2.2);
    QCOMPARE(p.boundingRect().topLeft(), origin.boundingRect().topLeft() + QPointF(160, 160));
    QVERIFY(p.contains(QPointF(160 + 92, 160)));
    QVERIFY(!p.contains(QPointF(160, 160)));
    // A rectangle not at the origin centres on its own mid point.
    const QPainterPath q = shape.path(QRectF(20, 20, 320, 320));
    QVERIFY(q.contains(QPointF(180 + 92, 180)));
}

void TestRadialGeometry::nonFiniteAngles_data()
{
    QTest::addColumn<double>("angle");
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("+inf") << std::numeric_limits<double>::infinity();
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
}

void TestRadialGeometry::nonFiniteAngles()
{
    QFETCH(double, angle);
    QCOMPARE(sectorIndex(angle), 0);
}

QTEST_APPLESS_MAIN(TestRadialGeometry)
#include "tst_radialgeometry.moc"
