#include "actions/CoreAudioVolumeManager.h"
#include "platform/fake/FakePlatform.h"

#include <memory>
#include <QTest>

class VolumeTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_p;
    std::unique_ptr<CoreAudioVolumeManager> m_volume;
    QList<QPair<float, bool>> m_shown;

    int alertCount() const
    {
        int n = 0;
        for (const auto& play : m_p->fakeSounds->plays)
            if (play.what == QLatin1String("audio-volume-change"))
                ++n;
        return n;
    }

private Q_SLOTS:
    void init()
    {
        m_p = std::make_unique<FakePlatform>();
        m_shown.clear();
        m_volume = std::make_unique<CoreAudioVolumeManager>(m_p->mixer, m_p->sounds, [this](float v, bool m) {
            m_shown.append({v, m});
        });
    }
    void cleanup()
    {
        m_volume.reset();
        m_p.reset();
    }

    void setClampsUnmutesAndAcknowledges_data()
    {
        QTest::addColumn<float>("request");
        QTest::addColumn<bool>("wasMuted");
        QTest::addColumn<float>("written");
        QTest::newRow("above one") << 1.3f << false << 1.0f;
        QTest::newRow("exactly one") << 1.0f << false << 1.0f;
        QTest::newRow("below zero, muted") << -0.2f << true << 0.0f;
        QTest::newRow("middle, muted") << 0.4375f << true << 0.4375f;
        QTest::newRow("zero") << 0.0f << false << 0.0f;
    }
    void setClampsUnmutesAndAcknowledges()
    {
        QFETCH(float, request);
        QFETCH(bool, wasMuted);
        QFETCH(float, written);
        m_p->fakeMixer->isMuted = wasMuted;
        m_volume->setVolume(request);
        QCOMPARE(m_p->fakeMixer->volumeWrites, QList<float>{written});
        QCOMPARE(m_p->fakeMixer->isMuted, false);
        QCOMPARE(m_p->fakeMixer->muteWrites, wasMuted ? QList<bool>{false} : QList<bool>{});
        QCOMPARE(alertCount(), 1);
        // The indicator comes after the caller returned, not inside the call.
        QVERIFY(m_shown.isEmpty());
        QTRY_COMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0], qMakePair(written, false));
    }

    void stepArithmetic_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::addColumn<float>("level");
        QTest::addColumn<bool>("up");
        QTest::addColumn<float>("written");
        QTest::newRow("0.96 up") << true << 0.96f << true << 1.0f;
        QTest::newRow("1.0 up") << true << 1.0f << true << 1.0f;
        QTest::newRow("0.5 down") << true << 0.5f << false << 0.4375f;
        QTest::newRow("0.0625 down") << true << 0.0625f << false << 0.0f;
        QTest::newRow("0.02 down") << true << 0.02f << false << 0.0f;
        QTest::newRow("unreadable up") << false << 0.f << true << 0.5625f;
        QTest::newRow("unreadable down") << false << 0.f << false << 0.4375f;
    }
    void stepArithmetic()
    {
        QFETCH(bool, readable);
        QFETCH(float, level);
        QFETCH(bool, up);
        QFETCH(float, written);
        m_p->fakeMixer->level = readable ? std::optional<float>(level) : std::nullopt;
        m_volume->stepVolume(up);
        QCOMPARE(m_p->fakeMixer->volumeWrites.size(), 1);
        QCOMPARE(m_p->fakeMixer->volumeWrites[0], written);
        // An output without a readable volume ignores the write, but the
        // indicator still shows the requested value.
        QTRY_COMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].first, written);
    }

    void repeatedStepsAccumulate()
    {
        m_p->fakeMixer->level = 0.25f;
        for (int i = 0; i < 5; ++i)
            m_volume->stepVolume(true);
        QCOMPARE(m_p->fakeMixer->volumeWrites, (QList<float>{0.3125f, 0.375f, 0.4375f, 0.5f, 0.5625f}));
        for (int i = 0; i < 20; ++i)
            m_volume->stepVolume(false);
        QCOMPARE(m_p->fakeMixer->volumeWrites.last(), 0.0f);
        QCOMPARE(m_volume->getVolume(), std::optional<float>(0.0f));
    }

    void noOutputDoesNothing()
    {
        m_p->fakeMixer->available = false;
        m_volume->setVolume(0.7f);
        m_volume->stepVolume(true);
        m_volume->toggleMute();
        QTest::qWait(30);
        QVERIFY(m_p->fakeSounds->plays.isEmpty());
        QVERIFY(m_shown.isEmpty());
        QCOMPARE(m_volume->getVolume(), std::nullopt);
        QCOMPARE(m_volume->isMuted(), false);
    }

    void toggleMuteRules_data()
    {
        QTest::addColumn<bool>("wasMuted");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<int>("alerts");
        QTest::addColumn<float>("shownVolume");
        QTest::newRow("muting is silent") << false << true << 0 << 0.75f;
        QTest::newRow("unmuting plays") << true << true << 1 << 0.75f;
        QTest::newRow("unreadable volume shows 0.5") << false << false << 0 << 0.5f;
    }
    void toggleMuteRules()
    {
        QFETCH(bool, wasMuted);
        QFETCH(bool, readable);
        QFETCH(int, alerts);
        QFETCH(float, shownVolume);
        m_p->fakeMixer->isMuted = wasMuted;
        m_p->fakeMixer->level = readable ? std::optional<float>(0.75f) : std::nullopt;
        m_volume->toggleMute();
        QCOMPARE(m_p->fakeMixer->muteWrites, QList<bool>{!wasMuted});
        QVERIFY(m_p->fakeMixer->volumeWrites.isEmpty()); // the level is left alone
        QCOMPARE(alertCount(), alerts);
        QVERIFY(m_shown.isEmpty());
        QTRY_COMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0], qMakePair(shownVolume, !wasMuted));
    }
};

int runVolumeTests(int argc, char** argv)
{
    VolumeTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "VolumeTest.moc"
