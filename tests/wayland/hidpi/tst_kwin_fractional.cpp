// The ring on KWin at a fractional scale (tests/session/run-kwin-session with
// RONDIX_KWIN_SCALE=1.5, 1280x800 logical pixels): its buffers hold 1.5
// device pixels to a logical one and a viewport lays them over the surface,
// and it is placed and hit-tested in logical coordinates. What Rondix asks of
// the compositor is read from its WAYLAND_DEBUG log.
#include "model/ModelJson.h"
#include "model/RingProfile.h"
#include "RondixHome.h"
#include "WaylandTestClients.h"

#include <QRegularExpression>
#include <QtTest>

using namespace WaylandTest;

class TestKWinFractional : public QObject
{
    Q_OBJECT

    RondixHome m_home;
    Input m_input;
    Target m_target;
    QProcess m_rondix;
    QByteArray m_log;

    // The sizes of the shared-memory buffers Rondix has made so far.
    QList<QSize> bufferSizes()
    {
        m_log += m_rondix.readAllStandardOutput();
        static const QRegularExpression created(
            QStringLiteral("create_buffer\\(new id wl_buffer@\\d+, 0, (\\d+), (\\d+),"));
        QList<QSize> sizes;
        for (auto m = created.globalMatch(QString::fromUtf8(m_log)); m.hasNext();) {
            const QRegularExpressionMatch match = m.next();
            sizes << QSize(match.captured(1).toInt(), match.captured(2).toInt());
        }
        return sizes;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariable("RONDIX_TEST_COMPOSITOR") != QLatin1String("kwin") ||
            qEnvironmentVariable("RONDIX_KWIN_SCALE") != QLatin1String("1.5"))
            QSKIP("needs KWin at scale 1.5 (RONDIX_KWIN_SCALE=1.5 tests/session/run-kwin-session)");
        // F5 in every sector but the north one, which is F1.
        QList<ActionSlot> slots;
        for (int i = 0; i < 8; ++i) {
            ActionSlot slot = ActionSlot::empty(i);
            slot.title = i == 0 ? QStringLiteral("F1") : QStringLiteral("F5");
            slot.action = ActionType::shortcut(slot.title, i == 0 ? 122 : 96, {});
            slot.isEnabled = true;
            slots << slot;
        }
        QVERIFY(m_home.writeSettings("launchAtLogin=false\n"));
        QVERIFY(writeFile(m_home.storePath(),
                          encodeRingProfiles({RingProfile(QUuid::createUuid(), QStringLiteral("Global"),
                                                          std::nullopt, std::nullopt, slots, true)})));
        m_home.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        QVERIFY(m_input.start());
        // kwinrulesrc puts it at the top left, 600x300.
        QVERIFY(m_target.start(QStringLiteral("org.rondix.TestA"), m_home.env));
        QTest::qWait(300);
        QVERIFY(m_input.move(QPoint(300, 150)) && m_input.click());

        QProcessEnvironment env = m_home.env;
        env.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
        m_log = m_home.launch(m_rondix, {}, env);
        QVERIFY(!m_log.isEmpty());
    }

    void cleanupTestCase()
    {
        m_rondix.kill();
        m_rondix.waitForFinished(3000);
        m_target.stop();
        m_input.stop();
    }

    void ringAtTheFractionalScale()
    {
        QVERIFY(m_input.move(QPoint(1000, 600)));
        const qsizetype before = bufferSizes().size();
        QCOMPARE(m_home.run({QStringLiteral("summon")}).status, 0);
        QRect ring;
        QVERIFY(QTest::qWaitFor(
            [&] {
                ring = qdbus_cast<QRect>(
                    RondixHome::property(QStringLiteral("RingGeometry")).value<QDBusArgument>());
                return RondixHome::ringVisible() && !ring.isEmpty();
            },
            3000));
        QCOMPARE(ring, QRect(820, 420, 360, 360)); // within the logical screen
        // The ring's frames: 1920x1200 buffers shown at 1280x800, none at the
        // output's integer scale of 2.
        QVERIFY(QTest::qWaitFor([&] { return bufferSizes().mid(before).contains(QSize(1920, 1200)); }, 3000));
        QVERIFY2(!bufferSizes().mid(before).contains(QSize(2560, 1600)), m_log.right(4000).constData());
        QVERIFY(m_log.contains("set_destination(1280, 800)"));

        // The north sector, picked in logical coordinates, runs F1.
        m_target.read();
        const qsizetype keys = m_target.keys.size();
        QVERIFY(m_input.move(ring.center() + QPoint(3, 3)));
        QVERIFY(m_input.move(RondixHome::sectorPoint(ring.center(), 0)));
        QVERIFY(m_input.click());
        QVERIFY(QTest::qWaitFor([&] { return !RondixHome::ringVisible(); }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return (m_target.read(), m_target.keys.size()) > keys; }, 3000));
        QCOMPARE(m_target.keys.mid(keys), QStringList{QStringLiteral("F1")});
    }
};

QTEST_GUILESS_MAIN(TestKWinFractional)
#include "tst_kwin_fractional.moc"
