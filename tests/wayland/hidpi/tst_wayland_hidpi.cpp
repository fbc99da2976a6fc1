// The ring on a scaled output, on sway (tests/session/run-wayland-session):
// the output is switched between scale 1 and 2 with swaymsg (1280x800 logical
// pixels either way), the screen is captured with grim, and the virtual
// pointer and keyboard (rondix_wl_input) use the ring. Set RONDIX_TEST_SHOTS
// to a folder to keep the captures.
#include "DesktopTools.h"
#include "WaylandTestClients.h"
#include "model/ModelJson.h"
#include "model/RingProfile.h"
#include "RondixHome.h"

#include <QImage>
#include <QtDBus>
#include <QtTest>

namespace {
const QString kApp = QStringLiteral("org.rondix.TestA");
const QSize kScreen(1280, 800);
// Inside 640x400 too: sway passes through that layout on its way from scale 2
// to 1, and a pointer it has to pull in has moved (and hovers the hub).
const QPoint kSummonAt(500, 380);
const QRect kRing(320, 200, 360, 360);
using namespace WaylandTest;
// F1 to F8 as the ring store keeps them, one to a sector.
constexpr quint16 kFunctionKeyCodes[8] = {122, 120, 99, 118, 96, 97, 98, 100};

RingProfile functionKeyRing()
{
    QList<ActionSlot> slots;
    for (int i = 0; i < 8; ++i) {
        ActionSlot slot = ActionSlot::empty(i);
        slot.title = QStringLiteral("F%1").arg(i + 1);
        slot.action = ActionType::shortcut(slot.title, kFunctionKeyCodes[i], {});
        slot.isEnabled = true;
        slots << slot;
    }
    return RingProfile(QUuid::createUuid(), QStringLiteral("Global"), std::nullopt, std::nullopt, slots,
                       true);
}

double meanDifference(const QImage& a, const QImage& b)
{
    const QImage ga = a.convertToFormat(QImage::Format_Grayscale8);
    const QImage gb = b.convertToFormat(QImage::Format_Grayscale8);
    if (ga.size() != gb.size() || ga.isNull())
        return 255;
    double sum = 0;
    for (int y = 0; y < ga.height(); ++y)
        for (int x = 0; x < ga.width(); ++x)
            sum += std::abs(ga.constScanLine(y)[x] - gb.constScanLine(y)[x]);
    return sum / (double(ga.width()) * ga.height());
}

// How far a capture at `scale` is from the 1x capture `one` scaled up `how`,
// in grey levels, over the device pixels of `one`'s edges (text, strokes, the
// disc's rim). A buffer drawn at scale 1 and enlarged by the compositor comes
// out close to one of the two enlargements there; one drawn at full
// resolution differs from both.
double edgeDistance(const QImage& one, const QImage& shot, int scale, Qt::TransformationMode how)
{
    const QImage g1 = one.convertToFormat(QImage::Format_Grayscale8);
    const QImage up = g1.scaled(g1.size() * scale, Qt::IgnoreAspectRatio, how);
    const QImage gs = shot.convertToFormat(QImage::Format_Grayscale8);
    if (gs.size() != up.size())
        return 0;
    double sum = 0;
    qint64 count = 0;
    for (int y = 0; y + 1 < g1.height(); ++y) {
        for (int x = 0; x + 1 < g1.width(); ++x) {
            const int v = g1.constScanLine(y)[x];
            if (std::abs(g1.constScanLine(y)[x + 1] - v) + std::abs(g1.constScanLine(y + 1)[x] - v) < 32)
                continue;
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx) {
                    const int px = x * scale + dx, py = y * scale + dy;
                    sum += std::abs(gs.constScanLine(py)[px] - up.constScanLine(py)[px]);
                    ++count;
                }
        }
    }
    return count > 1000 ? sum / double(count) : 0;
}
} // namespace

class TestWaylandHiDpi : public QObject
{
    Q_OBJECT

    RondixHome m_home;
    Input m_input;
    QProcess m_rondix;
    Target m_target;
    QByteArray m_log;
    QImage m_reference; // the ring at rest at scale 1

    bool move(QPoint p) { return m_input.move(p); }
    bool click() { return m_input.click(); }
    bool hotkey() { return m_input.chord({kKeyLeftAlt}, kKeySpace); }

    static bool ringVisible() { return RondixHome::ringVisible(); }
    static QRect ringGeometry()
    {
        return qdbus_cast<QRect>(RondixHome::property(QStringLiteral("RingGeometry")).value<QDBusArgument>());
    }
    QRect waitForRing()
    {
        QRect r;
        if (!QTest::qWaitFor([&] { return ringVisible() && !(r = ringGeometry()).isEmpty(); }, 3000))
            return {};
        return r;
    }
    bool waitHidden()
    {
        return QTest::qWaitFor([&] { return !ringVisible(); }, 3000);
    }

    // The output at `scale`, 1280x800 logical pixels still, as sway reports it.
    static bool setScale(double scale)
    {
        commandOutput(QStringLiteral("swaymsg"), {QStringLiteral("output * mode %1x%2 scale %3")
                                            .arg(qRound(kScreen.width() * scale))
                                            .arg(qRound(kScreen.height() * scale))
                                            .arg(scale)});
        return QTest::qWaitFor(
            [&] {
                const QJsonArray outputs =
                    QJsonDocument::fromJson(
                        commandOutput(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_outputs")})
                            .toUtf8())
                        .array();
                const QJsonObject o = outputs.first().toObject();
                return o.value(QLatin1String("scale")).toDouble() == scale &&
                       o.value(QLatin1String("rect")).toObject().value(QLatin1String("width")).toInt() ==
                           kScreen.width();
            },
            3000);
    }

    // The screen inside `area` (logical), at the output's device pixels.
    static QImage capture(const QRect& area)
    {
        QProcess grim;
        grim.start(
            QStringLiteral("grim"),
            {QStringLiteral("-g"),
             QStringLiteral("%1,%2 %3x%4").arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height()),
             QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
        if (!grim.waitForFinished(10000) || grim.exitCode() != 0)
            return {};
        return QImage::fromData(grim.readAllStandardOutput(), "PPM");
    }
    // The ring once it is on screen and has stopped moving: two captures in
    // a row alike, and not the bare window behind.
    QImage settledCapture(const QRect& area, const QString& name)
    {
        const auto blank = [](const QImage& image) {
            const QImage g = image.convertToFormat(QImage::Format_Grayscale8);
            for (int y = 0; y < g.height(); ++y)
                for (int x = 0; x < g.width(); ++x)
                    if (g.constScanLine(y)[x] != g.constScanLine(0)[0])
                        return false;
            return true;
        };
        QImage last = capture(area);
        for (int i = 0; i < 40 && !last.isNull(); ++i) {
            QTest::qWait(50);
            const QImage next = capture(area);
            if (next == last && !blank(next))
                break;
            last = next;
        }
        if (const QString dir = qEnvironmentVariable("RONDIX_TEST_SHOTS"); !dir.isEmpty() && !last.isNull()) {
            last.save(QDir(dir).filePath(name + QStringLiteral(".png")));
            capture(QRect(QPoint(), kScreen)).save(QDir(dir).filePath(name + QStringLiteral("-screen.png")));
        }
        return last;
    }

    // Rondix's ring buffers mapped now (memfd "rondix-ring").
    int ringBuffers()
    {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(m_rondix.processId()));
        if (!maps.open(QIODevice::ReadOnly))
            return -1;
        return int(maps.readAll().count("memfd:rondix-ring"));
    }

    // Moves from the middle of `ring` to `sector` and clicks: true once the
    // ring has closed and the target has had that sector's key, and no other.
    bool pickSector(const QRect& ring, int sector)
    {
        m_target.read();
        const qsizetype before = m_target.keys.size();
        if (!move(ring.center() + QPoint(3, 3)) || !move(RondixHome::sectorPoint(ring.center(), sector)) ||
            !click() || !waitHidden())
            return false;
        const bool arrived = QTest::qWaitFor([&] { return (m_target.read(), m_target.keys.size()) > before; }, 3000);
        QTest::qWait(50); // and nothing after it
        m_target.read();
        if (arrived && m_target.keys.mid(before) == QStringList{QStringLiteral("F%1").arg(sector + 1)})
            return true;
        qWarning() << "sector" << sector << "gave" << m_target.keys.mid(before);
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("SWAYSOCK"))
            QSKIP("needs the Wayland test session (tests/session/run-wayland-session)");
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("grim")).isEmpty(),
                 "grim is not installed (scripts/deps installs it)");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(setScale(1));
        m_home.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        QVERIFY(m_home.writeSettings("launchAtLogin=false\n"));
        QVERIFY(writeFile(m_home.storePath(), encodeRingProfiles({functionKeyRing()})));

        QVERIFY(m_input.start(kScreen.width(), kScreen.height()));

        // The window the ring's keys go to, the only one, focused with a click.
        QVERIFY(m_target.start(kApp, m_home.env));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return commandOutput(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree")})
                    .contains(kApp);
            },
            3000));
        QVERIFY(move(QPoint(kScreen.width() / 2, kScreen.height() / 2)) && click());

        m_log = m_home.launch(m_rondix);
        QVERIFY(!m_log.isEmpty());
        QVERIFY2(m_log.contains("Successfully registered custom hotkey"), m_log.constData());

        // What the ring looks like at rest at scale 1, for the scaled captures.
        QVERIFY(move(kSummonAt) && hotkey());
        QCOMPARE(waitForRing(), kRing);
        m_reference = settledCapture(kRing, QStringLiteral("reference"));
        QCOMPARE(m_reference.size(), kRing.size());
        QVERIFY(m_input.key(kKeyEsc));
        QVERIFY(waitHidden());
    }

    void cleanupTestCase()
    {
        m_rondix.kill();
        m_rondix.waitForFinished(3000);
        m_target.stop();
        m_input.stop();
    }

    void init()
    {
        if (ringVisible()) {
            m_input.key(kKeyEsc);
            QVERIFY(waitHidden());
        }
    }

    void ringFollowsTheOutputScale_data()
    {
        QTest::addColumn<int>("summonScale");
        QTest::addColumn<int>("shownScale"); // the output is rescaled under the ring when they differ
        QTest::addColumn<int>("sector");
        QTest::newRow("scale 1, north") << 1 << 1 << 0;
        QTest::newRow("scale 2, north-east") << 2 << 2 << 1;
        QTest::newRow("scale 2, south-west") << 2 << 2 << 5;
        QTest::newRow("scale 2, west") << 2 << 2 << 6;
        QTest::newRow("1 to 2 while up, east") << 1 << 2 << 2;
        QTest::newRow("2 to 1 while up, south") << 2 << 1 << 4;
    }
    void ringFollowsTheOutputScale()
    {
        QFETCH(int, summonScale);
        QFETCH(int, shownScale);
        QFETCH(int, sector);
        QVERIFY(setScale(summonScale));
        QVERIFY(move(kSummonAt) && hotkey());
        const QRect ring = waitForRing();
        QCOMPARE(ring, kRing);
        if (shownScale != summonScale) {
            QTest::qWait(150); // drawn at the first scale
            QVERIFY(setScale(shownScale));
            QCOMPARE(ringGeometry(), kRing);
        }

        const QImage shot = settledCapture(
            ring, QString::fromLatin1(QTest::currentDataTag())
                      .replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-")));
        QCOMPARE(shot.size(), ring.size() * shownScale);
        if (shownScale == 1) {
            QVERIFY2(meanDifference(shot, m_reference) < 0.5,
                     qPrintable(QStringLiteral("differs by %1").arg(meanDifference(shot, m_reference))));
        } else {
            // The same ring in the same place, with detail a scale 1 buffer
            // blown up by the compositor cannot have.
            const QImage reduced = shot.scaled(ring.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QVERIFY2(meanDifference(reduced, m_reference) < 3,
                     qPrintable(
                         QStringLiteral("reduced differs by %1").arg(meanDifference(reduced, m_reference))));
            for (Qt::TransformationMode how : {Qt::FastTransformation, Qt::SmoothTransformation}) {
                const double d = edgeDistance(m_reference, shot, shownScale, how);
                QVERIFY2(d > 10, qPrintable(QStringLiteral("edges %1 from an enlarged scale 1 ring (%2)")
                                                .arg(d)
                                                .arg(how == Qt::FastTransformation ? "nearest" : "smooth")));
            }
        }
        // Two buffers at most, of the current scale only.
        const int buffers = ringBuffers();
        QVERIFY2(buffers >= 1 && buffers <= 2, qPrintable(QString::number(buffers)));

        // The sector under the pointer, in logical coordinates, runs its key.
        QVERIFY(pickSector(ring, sector));
        // Closed, the ring keeps no shared memory.
        QTRY_COMPARE_WITH_TIMEOUT(ringBuffers(), 0, 3000);
    }

    // On a fractionally scaled output (its wl_output scale rounded up) the
    // ring still keeps to the logical screen and to the pointer.
    void ringKeepsToTheLogicalScreen_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QRect>("ring");
        QTest::addColumn<int>("sector");
        QTest::newRow("1.5, bottom right corner")
            << 1.5 << QPoint(1270, 790) << QRect(920, 440, 360, 360) << 7;
        QTest::newRow("1.5, middle") << 1.5 << QPoint(900, 500) << QRect(720, 320, 360, 360) << 4;
        QTest::newRow("2, bottom right corner") << 2.0 << QPoint(1270, 790) << QRect(920, 440, 360, 360) << 6;
    }
    void ringKeepsToTheLogicalScreen()
    {
        QFETCH(double, scale);
        QFETCH(QPoint, pointer);
        QFETCH(QRect, ring);
        QFETCH(int, sector);
        QVERIFY(setScale(scale));
        QVERIFY(move(pointer) && hotkey());
        QCOMPARE(waitForRing(), ring);
        QVERIFY(pickSector(ring, sector));
    }
};

QTEST_GUILESS_MAIN(TestWaylandHiDpi)
#include "tst_wayland_hidpi.moc"
