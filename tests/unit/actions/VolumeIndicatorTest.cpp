#include "actions/VolumeOSDManager.h"
#include "actions/VolumeOSDView.h"

#include <memory>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class VolumeIndicatorTest : public QObject
{
    Q_OBJECT

private:
    // Shortened timings (the fade and its order-out check a fifth of the real
    // ones) so the rules can be watched in real time.
    static VolumeOSDTimings fastTimings() { return {400, 44, 50, 40}; }

private Q_SLOTS:
    void panelPlacement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("panel");
        QTest::newRow("single screen") << QRect(0, 0, 1440, 900) << QRect(620, 590, 200, 190);
        QTest::newRow("panel at the bottom") << QRect(0, 0, 1920, 1040) << QRect(860, 730, 200, 190);
        QTest::newRow("second screen to the right")
            << QRect(1920, 0, 1280, 1024) << QRect(2460, 714, 200, 190);
        QTest::newRow("screen above, top bar") << QRect(0, -1080, 1920, 1052) << QRect(860, -338, 200, 190);
    }
    void panelPlacement()
    {
        QFETCH(QRect, available);
        QFETCH(QRect, panel);
        QCOMPARE(VolumeOSDManager::panelGeometry(available), panel);
    }

    void levelDrawing_data()
    {
        QTest::addColumn<float>("volume");
        QTest::addColumn<bool>("muted");
        QTest::addColumn<int>("lit");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("silent") << 0.0f << false << 0 << "0%"
                                << "speaker.fill";
        QTest::newRow("one step") << 0.0625f << false << 1 << "6%"
                                  << "speaker.wave.1.fill";
        QTest::newRow("just over a step") << 0.07f << false << 2 << "7%"
                                          << "speaker.wave.1.fill";
        QTest::newRow("nearly silent") << 0.01f << false << 1 << "1%"
                                       << "speaker.fill";
        QTest::newRow("half rounds away from zero") << 0.125f << false << 2 << "13%"
                                                    << "speaker.wave.1.fill";
        QTest::newRow("wave 2 threshold") << 0.34f << false << 6 << "34%"
                                          << "speaker.wave.2.fill";
        QTest::newRow("wave 3 threshold") << 0.67f << false << 11 << "67%"
                                          << "speaker.wave.3.fill";
        QTest::newRow("full") << 1.0f << false << 16 << "100%"
                              << "speaker.wave.3.fill";
        QTest::newRow("muted") << 0.8f << true << 13 << "80%"
                               << "speaker.slash.fill";
    }
    void levelDrawing()
    {
        QFETCH(float, volume);
        QFETCH(bool, muted);
        QFETCH(int, lit);
        QFETCH(QString, percent);
        QFETCH(QString, symbol);
        QCOMPARE(VolumeOSDView::litSegments(volume), lit);
        QCOMPARE(VolumeOSDView::percentText(volume), percent);
        QCOMPARE(VolumeOSDView::speakerIconName(muted, volume), symbol);
    }

    void showClampsAndPlacesUnderPointer()
    {
        VolumeOSDManager m(fastTimings());
        m.show(1.2f, false);
        QCOMPARE(m.volume(), 1.0f);
        QVERIFY(m.isVisible());
        QVERIFY(m.isPanelShown());
        QCOMPARE(m.panel()->speakerIconName(), QStringLiteral("speaker.wave.3.fill"));
        QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        QCOMPARE(m.panel()->geometry(), VolumeOSDManager::panelGeometry(screen->availableGeometry()));
        // Never focusable, never hit by the pointer.
        QVERIFY(m.panel()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(m.panel()->windowFlags().testFlag(Qt::WindowTransparentForInput));
        QVERIFY(m.panel()->testAttribute(Qt::WA_TransparentForMouseEvents));
        m.show(-0.5f, true);
        QCOMPARE(m.volume(), 0.0f);
        QVERIFY(m.isMuted());
    }

    void hidesAfterTheLastShow()
    {
        VolumeOSDManager m(fastTimings());
        QSignalSpy orderedOut(&m, &VolumeOSDManager::panelOrderedOut);
        int hides = 0;
        connect(&m, &VolumeOSDManager::isVisibleChanged, this, [&] {
            if (!m.isVisible())
                ++hides;
        });
        // Ten shows 1/5 of 0.5 s apart keep it up the whole time.
        for (int i = 0; i < 10; ++i) {
            m.show(0.1f * float(i), false);
            QVERIFY(m.isVisible());
            QVERIFY(m.isPanelShown());
            QCOMPARE(hides, 0);
            QTest::qWait(100);
        }
        QVERIFY(m.isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(hides, 1, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(orderedOut.size(), 1, 1000);
        QVERIFY(!m.isPanelShown());
        QTest::qWait(300);
        QCOMPARE(hides, 1); // faded once
        QCOMPARE(orderedOut.size(), 1);
    }

    void showDuringFadeKeepsThePanel()
    {
        VolumeOSDManager m(fastTimings());
        QSignalSpy orderedOut(&m, &VolumeOSDManager::panelOrderedOut);
        bool reshown = false;
        // 1/5 of 0.1 s into the fade, a new show.
        connect(&m, &VolumeOSDManager::isVisibleChanged, this, [&] {
            if (!m.isVisible() && !reshown)
                QTimer::singleShot(20, &m, [&] {
                    reshown = true;
                    QVERIFY(m.isPanelShown());
                    m.show(0.6f, false);
                });
        });
        m.show(0.5f, false);
        QTRY_VERIFY_WITH_TIMEOUT(reshown, 1000);
        QVERIFY(m.isVisible());
        QTest::qWait(120);
        QCOMPARE(orderedOut.size(), 0);
        QVERIFY(m.isPanelShown());
        QVERIFY(m.isVisible());
        // The new show's own timer still runs out later.
        QTRY_COMPARE_WITH_TIMEOUT(orderedOut.size(), 1, 2000);
    }

    void cardAnimatesInAndOut()
    {
        VolumeOSDManager m(fastTimings());
        m.show(0.5f, false);
        QTRY_COMPARE_WITH_TIMEOUT(m.panel()->progress(), 1.0, 500);
        QCOMPARE(VolumeOSDView::cardScale(m.panel()->progress()), 1.0);
        m.dismiss();
        QTRY_COMPARE_WITH_TIMEOUT(m.panel()->progress(), 0.0, 500);
        QCOMPARE(VolumeOSDView::cardScale(0.0), 0.88);
    }
};

int runVolumeIndicatorTests(int argc, char** argv)
{
    VolumeIndicatorTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "VolumeIndicatorTest.moc"
