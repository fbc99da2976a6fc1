// The ring in a window of its own, on a session that never says where the
// pointer is and shows no global input (a Wayland desktop without the
// overlay, such as GNOME): the ring comes up in the middle of the screen and
// takes the keyboard, so Escape and a click elsewhere still close it.
#include "platform/InputMonitor.h"
#include "platform/WindowRingSurface.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <QWidget>

namespace {
class BlindInput : public InputMonitor
{
public:
    bool knows = false;
    QPoint pointerPosition() const override { return {5, 5}; }
    bool knowsPointerPosition() const override { return knows; }

protected:
    void applyKeySelection(bool) override {}
    void applyButtonSelection(bool) override {}
};
} // namespace

class TestRingSurface : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placement_data()
    {
        QTest::addColumn<bool>("knowsPointer");
        QTest::addColumn<bool>("givenPoint");
        QTest::addColumn<QString>("where"); // "centre", "pointer", "point"
        QTest::newRow("blind session, at the pointer: the middle") << false << false << "centre";
        QTest::newRow("blind session, a point given: the point") << false << true << "point";
        QTest::newRow("pointer known: at the pointer") << true << false << "pointer";
    }
    void placement()
    {
        QFETCH(bool, knowsPointer);
        QFETCH(bool, givenPoint);
        QFETCH(QString, where);
        BlindInput input;
        input.knows = knowsPointer;
        WindowRingSurface surface(&input, nullptr);
        auto* content = new QWidget(surface.host());
        const QRect area = WindowRingSurface::availableAreaAt(QPoint());
        const QPoint point = area.topLeft() + QPoint(400, 300);
        const std::optional<RingPlacement> placed =
            surface.begin(givenPoint ? std::optional<QPoint>(point) : std::nullopt, content);
        QVERIFY(placed);
        QPoint expected = where == QLatin1String("centre") ? area.center()
                          : where == QLatin1String("point") ? point
                                                            : QPoint(5, 5);
        QCOMPARE(placed->geometry.topLeft(), RingSurface::clampedOrigin(expected, area));
        // Where the pointer is unknown nothing is seeded from it.
        QCOMPARE(placed->pointer.has_value(), knowsPointer);
        surface.end();
    }

    void blindSessionClosesOnEscapeAndFocusLoss_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Escape") << true;
        QTest::newRow("focus went to a click elsewhere") << false;
    }
    void blindSessionClosesOnEscapeAndFocusLoss()
    {
        QFETCH(bool, escape);
        BlindInput input;
        WindowRingSurface surface(&input, nullptr);
        QVERIFY(!surface.host()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        auto* content = new QWidget(surface.host());
        surface.begin(std::nullopt, content);
        QSignalSpy escapes(&surface, &RingSurface::escapePressed);
        QSignalSpy elsewhere(&surface, &RingSurface::clickedElsewhere);
        // Other keys are the ring's to ignore.
        QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QCoreApplication::sendEvent(surface.host(), &other);
        if (escape) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(surface.host(), &esc);
        } else {
            QEvent deactivate(QEvent::WindowDeactivate);
            QCoreApplication::sendEvent(surface.host(), &deactivate);
        }
        QCOMPARE(escapes.size(), escape ? 1 : 0);
        QCOMPARE(elsewhere.size(), escape ? 0 : 1);
        // Once ended, nothing more is reported.
        surface.end();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(surface.host(), &esc);
        QCOMPARE(escapes.size(), escape ? 1 : 0);
    }

    void sessionWithGlobalInputNeverTakesFocus()
    {
        BlindInput input;
        input.knows = true;
        WindowRingSurface surface(&input, nullptr);
        QVERIFY(surface.host()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(surface.host()->testAttribute(Qt::WA_ShowWithoutActivating));
    }
};

QTEST_MAIN(TestRingSurface)
#include "tst_ringsurface.moc"
