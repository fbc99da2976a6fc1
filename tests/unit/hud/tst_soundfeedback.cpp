#include "common/AppSettings.h"
#include "common/Clock.h"
#include "hud/SoundFeedback.h"
#include "platform/fake/FakePlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSoundFeedback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void hoverThrottle_data();
    void hoverThrottle();
    void hoverChannelsRotate();
    void triggerChannelsRotateWithoutThrottle();
    void neverWrittenSettingPlaysNothing();
    void disabledDoesNotMoveThrottle();
    void missingFilesUseThemeSounds();
    void missingThemeSoundPlaysNothing();
    void unreadableFileCountsAsMissing_data();
    void unreadableFileCountsAsMissing();
    void cancelSharesHoverThrottle();
    void shippedSoundsAreFound();

private:
    QString writeSounds(const QByteArray& hover, const QByteArray& trigger);

    QTemporaryDir m_config;
    QTemporaryDir m_sounds;
    FakeSoundPlayer m_player;
    ManualClock m_clock;
};

static QByteArray wavBytes()
{
    QByteArray b("RIFF");
    b += QByteArray(4, '\0');
    b += "WAVEfmt ";
    b += QByteArray(32, '\0');
    return b;
}

void TestSoundFeedback::initTestCase()
{
    QVERIFY(m_config.isValid() && m_sounds.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

void TestSoundFeedback::init()
{
    m_player.plays.clear();
    m_player.missingThemeSounds.clear();
    AppSettings::remove(QStringLiteral("soundEnabled"));
    QFile::remove(m_sounds.filePath(QStringLiteral("hover_tap.wav")));
    QFile::remove(m_sounds.filePath(QStringLiteral("trigger_click.wav")));
}

QString TestSoundFeedback::writeSounds(const QByteArray& hover, const QByteArray& trigger)
{
    for (const auto& [name, data] : {std::pair{QStringLiteral("hover_tap.wav"), hover},
                                     std::pair{QStringLiteral("trigger_click.wav"), trigger}}) {
        if (data.isNull())
            continue;
        QFile f(m_sounds.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(data);
    }
    return m_sounds.path();
}

void TestSoundFeedback::hoverThrottle_data()
{
    QTest::addColumn<double>("gap");
    QTest::addColumn<int>("plays");
    QTest::newRow("20 ms apart: one") << 0.020 << 1;
    QTest::newRow("35 ms apart: still one") << 0.035 << 1;
    QTest::newRow("36 ms apart: two") << 0.036 << 2;
    QTest::newRow("40 ms apart: two") << 0.040 << 2;
}

void TestSoundFeedback::hoverThrottle()
{
    QFETCH(double, gap);
    QFETCH(int, plays);
    SoundFeedback sounds(&m_player, m_clock, {writeSounds(wavBytes(), wavBytes())});
    sounds.setSoundEnabled(true);
    sounds.playHover();
    m_clock.advance(gap);
    sounds.playHover();
    QCOMPARE(m_player.plays.size(), plays);
    for (const auto& play : m_player.plays) {
        QVERIFY(play.what.endsWith(QLatin1String("hover_tap.wav")));
        QCOMPARE(play.volume, 0.95);
    }
}

void TestSoundFeedback::hoverChannelsRotate()
{
    SoundFeedback sounds(&m_player, m_clock, {writeSounds(wavBytes(), wavBytes())});
    sounds.setSoundEnabled(true);
    for (int i = 0; i < 6; ++i) {
        sounds.playHover();
        m_clock.advance(0.05);
    }
    QCOMPARE(m_player.plays.size(), 6);
    QList<int> channels;
    for (const auto& play : m_player.plays)
        channels << play.channel;
    // Four instances in turn; the fifth play restarts the first one.
    QCOMPARE(channels.mid(0, 4).toVector().size(), 4);
    QCOMPARE(QSet<int>(channels.begin(), channels.begin() + 4).size(), 4);
    QCOMPARE(channels[4], channels[0]);
    QCOMPARE(channels[5], channels[1]);
}

void TestSoundFeedback::triggerChannelsRotateWithoutThrottle()
{
    SoundFeedback sounds(&m_player, m_clock, {writeSounds(wavBytes(), wavBytes())});
    sounds.setSoundEnabled(true);
    sounds.playHover();
    sounds.playTrigger();
    sounds.playTrigger();
    sounds.playTrigger(); // same instant: triggers are never throttled
    QCOMPARE(m_player.plays.size(), 4);
    const QList<int> hoverChannels = sounds.hoverChannels();
    QCOMPARE(sounds.triggerChannels().size(), 2);
    QCOMPARE(m_player.plays[1].channel, m_player.plays[3].channel);
    QVERIFY(m_player.plays[1].channel != m_player.plays[2].channel);
    // Trigger instances never cut off a hover instance.
    for (int i = 1; i < 4; ++i) {
        QVERIFY(!hoverChannels.contains(m_player.plays[i].channel));
        QVERIFY(m_player.plays[i].what.endsWith(QLatin1String("trigger_click.wav")));
        QCOMPARE(m_player.plays[i].volume, 0.95);
    }
}

void TestSoundFeedback::neverWrittenSettingPlaysNothing()
{
    SoundFeedback sounds(&m_player, m_clock, {writeSounds(wavBytes(), wavBytes())});
    QVERIFY(!AppSettings::contains(QStringLiteral("soundEnabled")));
    QVERIFY(!sounds.isSoundEnabled());
    sounds.playHover();
    sounds.playTrigger();
    sounds.playCancel();
    QVERIFY(m_player.plays.isEmpty());
}

void TestSoundFeedback::disabledDoesNotMoveThrottle()
{
    SoundFeedback sounds(&m_player, m_clock, {writeSounds(wavBytes(), wavBytes())});
    sounds.setSoundEnabled(false);
    sounds.playHover();
    m_clock.advance(0.010);
    sounds.setSoundEnabled(true);
    // Had the disabled call stamped the time, this one would be throttled.
    sounds.playHover();
    QCOMPARE(m_player.plays.size(), 1);
}

void TestSoundFeedback::missingFilesUseThemeSounds()
{
    SoundFeedback sounds(&m_player, m_clock, {m_sounds.path()});
    sounds.setSoundEnabled(true);
    QVERIFY(sounds.hoverChannels().isEmpty());
    QVERIFY(sounds.triggerChannels().isEmpty());
    sounds.playHover();
    sounds.playTrigger();
    QCOMPARE(m_player.plays.size(), 2);
    QCOMPARE(m_player.plays[0].what, QStringLiteral("dialog-information"));
    QCOMPARE(m_player.plays[0].channel, -1);
    QCOMPARE(m_player.plays[0].volume, 0.6);
    QCOMPARE(m_player.plays[1].what, QStringLiteral("message"));
    QCOMPARE(m_player.plays[1].volume, 0.7);
}

void TestSoundFeedback::missingThemeSoundPlaysNothing()
{
    m_player.missingThemeSounds = {QStringLiteral("dialog-information"), QStringLiteral("message")};
    SoundFeedback sounds(&m_player, m_clock, {m_sounds.path()});
    sounds.setSoundEnabled(true);
    sounds.playHover();
    sounds.playTrigger();
    QVERIFY(m_player.plays.isEmpty());
}

void TestSoundFeedback::unreadableFileCountsAsMissing_data()
{
    QTest::addColumn<QByteArray>("hover");
    QTest::addColumn<bool>("hoverPool");
    QTest::newRow("empty file") << QByteArray("") << false;
    QTest::newRow("truncated header") << QByteArray("RIFF") << false;
    QTest::newRow("not audio") << QByteArray("hello, this is text") << false;
    QTest::newRow("wav") << wavBytes() << true;
    QTest::newRow("ogg") << QByteArray("OggS") + QByteArray(30, '\1') << true;
}

void TestSoundFeedback::unreadableFileCountsAsMissing()
{
    QFETCH(QByteArray, hover);
    QFETCH(bool, hoverPool);
    SoundFeedback sounds(&m_player, m_clock, {writeSounds(hover, QByteArray())});
    QCOMPARE(!sounds.hoverChannels().isEmpty(), hoverPool);
    QCOMPARE(sounds.hoverChannels().size(), hoverPool ? 4 : 0);
}

void TestSoundFeedback::cancelSharesHoverThrottle()
{
    SoundFeedback sounds(&m_player, m_clock, {writeSounds(wavBytes(), wavBytes())});
    sounds.setSoundEnabled(true);
    sounds.playHover();
    m_clock.advance(0.02);
    sounds.playCancel();
    m_clock.advance(0.02);
    sounds.playCancel(); // 40 ms after the hover: plays
    QCOMPARE(m_player.plays.size(), 2);
}

void TestSoundFeedback::shippedSoundsAreFound()
{
    // The files shipped in the source tree are valid sounds, found by the
    // default search (the build copies them beside the binary).
    SoundFeedback sounds(&m_player, m_clock, {QStringLiteral(RONDIX_BINARY_DIR "/share/rondix/sounds")});
    QCOMPARE(sounds.hoverChannels().size(), 4);
    QCOMPARE(sounds.triggerChannels().size(), 2);
    QVERIFY(QFile(sounds.hoverFile()).size() < 16 * 1024);
    SoundFeedback fromSource(&m_player, m_clock, {QStringLiteral(RONDIX_SOURCE_DIR "/resources/sounds")});
    QCOMPARE(fromSource.triggerChannels().size(), 2);
}

QTEST_GUILESS_MAIN(TestSoundFeedback)
#include "tst_soundfeedback.moc"
