#include "hud/AnimatedValue.h"

#include <cmath>
#include <QTest>

class TestAnimatedValue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void springSettles_data();
    void springSettles();
    void springRetargetKeepsMoving();
    void easeTiming_data();
    void easeTiming();
    void repeatedEaseDoesNotRestart();
    void stalledFrameStaysStable();
    void jumpStops();
};

void TestAnimatedValue::springSettles_data()
{
    QTest::addColumn<double>("response");
    QTest::addColumn<double>("damping");
    QTest::addColumn<double>("maxOvershoot");
    // The ring's springs: appear, sector hover, content, hub.
    QTest::newRow("appear 0.22/0.72") << 0.22 << 0.72 << 0.05;
    QTest::newRow("hover 0.18/0.68") << 0.18 << 0.68 << 0.07;
    QTest::newRow("content 0.18/0.7") << 0.18 << 0.7 << 0.06;
    QTest::newRow("hub 0.2/0.72") << 0.2 << 0.72 << 0.05;
}

void TestAnimatedValue::springSettles()
{
    QFETCH(double, response);
    QFETCH(double, damping);
    QFETCH(double, maxOvershoot);
    AnimatedValue v(0.85, response, damping);
    v.springTo(1.0);
    double peak = 0;
    double t = 0;
    int frames = 0;
    v.advance(t);
    while (v.advance(t += 1.0 / 60.0) && frames < 600) {
        peak = std::max(peak, v.value());
        ++frames;
    }
    QVERIFY2(!v.isAnimating(), "never settled");
    QCOMPARE(v.value(), 1.0);
    // Underdamped: a small overshoot, then at rest well within a second.
    QVERIFY2(peak > 1.0 && peak < 1.0 + maxOvershoot * 0.15, qPrintable(QString::number(peak)));
    QVERIFY2(frames < 60, qPrintable(QString::number(frames)));
    // The response sets the pace: barely started after a tenth of it, most of
    // the way after a third.
    AnimatedValue w(0.0, response, damping);
    w.springTo(1.0);
    w.advance(0);
    w.advance(response * 0.1);
    QVERIFY2(w.value() > 0.05 && w.value() < 0.3, qPrintable(QString::number(w.value())));
    w.advance(response * 0.35);
    QVERIFY2(w.value() > 0.6 && w.value() < 0.95, qPrintable(QString::number(w.value())));
}

void TestAnimatedValue::springRetargetKeepsMoving()
{
    AnimatedValue v(0.0, 0.18, 0.68);
    v.springTo(1.0);
    v.advance(0);
    v.advance(0.05);
    const double mid = v.value();
    QVERIFY(mid > 0 && mid < 1);
    v.springTo(0.0); // pointer left before the spring finished
    v.advance(0.06);
    // Momentum carries it on a little before it turns back.
    QVERIFY(v.value() >= mid - 0.05);
    double t = 0.06;
    while (v.advance(t += 1.0 / 60.0)) {
    }
    QCOMPARE(v.value(), 0.0);
}

void TestAnimatedValue::easeTiming_data()
{
    QTest::addColumn<double>("at");
    QTest::addColumn<bool>("done");
    QTest::newRow("start") << 0.0 << false;
    QTest::newRow("mid") << 0.07 << false;
    QTest::newRow("just before end") << 0.139 << false;
    QTest::newRow("end") << 0.14 << true;
    QTest::newRow("after") << 0.5 << true;
}

void TestAnimatedValue::easeTiming()
{
    QFETCH(double, at);
    QFETCH(bool, done);
    AnimatedValue v(1.0, 0.22, 0.72);
    v.easeTo(0.0, 0.14, QEasingCurve::OutQuad, 10.0);
    const bool moving = v.advance(10.0 + at);
    QCOMPARE(!moving, done);
    if (done)
        QCOMPARE(v.value(), 0.0);
    else
        QVERIFY(v.value() > 0.0 && v.value() <= 1.0);
    if (at == 0.07)
        QVERIFY(v.value() < 0.5); // ease-out: more than half the way at half the time
}

void TestAnimatedValue::repeatedEaseDoesNotRestart()
{
    AnimatedValue v(1.0, 0.22, 0.72);
    v.easeTo(0.0, 0.14, QEasingCurve::OutQuad, 0.0);
    v.advance(0.1);
    const double mid = v.value();
    v.easeTo(0.0, 0.14, QEasingCurve::OutQuad, 0.1); // a second dismissal
    QVERIFY(!v.advance(0.14));
    QCOMPARE(v.value(), 0.0);
    QVERIFY(mid < 0.2);
}

void TestAnimatedValue::stalledFrameStaysStable()
{
    AnimatedValue v(0.0, 0.18, 0.68);
    v.springTo(1.0);
    v.advance(0);
    v.advance(5.0); // the process was stopped for seconds
    QVERIFY(std::isfinite(v.value()));
    QVERIFY(std::abs(v.value()) < 3.0);
    double t = 5.0;
    int frames = 0;
    while (v.advance(t += 1.0 / 60.0) && ++frames < 600) {
    }
    QCOMPARE(v.value(), 1.0);
}

void TestAnimatedValue::jumpStops()
{
    AnimatedValue v(0.0, 0.18, 0.68);
    v.springTo(1.0);
    QVERIFY(v.isAnimating());
    v.jumpTo(0.5);
    QVERIFY(!v.isAnimating());
    QVERIFY(!v.advance(1.0));
    QCOMPARE(v.value(), 0.5);
    v.springTo(0.5); // already there: nothing to do
    QVERIFY(!v.isAnimating());
}

QTEST_APPLESS_MAIN(TestAnimatedValue)
#include "tst_animatedvalue.moc"
