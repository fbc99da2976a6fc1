// End to end on Wayland: the real rondix binary on its Wayland backend, real
// Qt windows as targets, and the compositor's virtual or fake input
// (rondix_wl_input) as the user's hands. Runs on headless sway
// (tests/session/run-wayland-session) and on KWin (tests/session/run-kwin-session,
// RONDIX_TEST_COMPOSITOR=kwin), which places the two targets by window rules
// (kwinrulesrc beside this file).
#include "DesktopTools.h"
#include "WaylandTestClients.h"
#include "model/ModelJson.h"
#include "model/RingProfile.h"

#include <QImage>
#include <QtDBus>
#include <QtTest>
#include <fcntl.h>
#include <unistd.h>

using namespace WaylandTest;

namespace {
const QString kService = QStringLiteral("org.rondix.Rondix");
const QString kRondix = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix");
const QString kAppA = QStringLiteral("org.rondix.TestA");
const QString kAppB = QStringLiteral("org.rondix.TestB");
const QString kPaste = QStringLiteral("hello wayland");
constexpr int kNorth = 0, kEast = 2;
const QSize kScreen(1280, 800);
// Where kwinrulesrc puts the targets on KWin.
const QRect kKWinRectA(0, 0, 600, 300), kKWinRectB(680, 0, 600, 300);

// The screen as KWin shows it, through its screenshot interface (granted to
// this test by the session's desktop file); null when it cannot be had.
QImage kwinScreen()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    QVariantMap meta;
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
                                           QStringLiteral("org.kde.KWin.ScreenShot2"),
                                           QStringLiteral("CaptureActiveScreen"));
        call << QVariantMap() << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
        ::close(fds[1]);
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            meta = qdbus_cast<QVariantMap>(reply.arguments().first());
        else
            qWarning() << "no screenshot:" << reply.errorMessage();
    }
    const int width = meta.value(QStringLiteral("width")).toInt(), height = meta.value(QStringLiteral("height")).toInt();
    const int stride = meta.value(QStringLiteral("stride")).toInt();
    const auto format = QImage::Format(meta.value(QStringLiteral("format")).toInt());
    QByteArray data(qsizetype(stride) * height, Qt::Uninitialized);
    qsizetype got = 0;
    while (!meta.isEmpty() && got < data.size()) {
        const ssize_t n = ::read(fds[0], data.data() + got, size_t(data.size() - got));
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fds[0]);
    if (meta.isEmpty() || got < data.size())
        return {};
    return QImage(reinterpret_cast<const uchar*>(data.constData()), width, height, stride, format).copy();
}

// Where two screens differ outside the test windows (whose text cursors
// blink); empty when they are alike.
QRect changedArea(const QImage& a, const QImage& b)
{
    QRect area;
    for (int y = 0; y < qMin(a.height(), b.height()); ++y)
        for (int x = 0; x < qMin(a.width(), b.width()); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && !kKWinRectA.contains(x, y) && !kKWinRectB.contains(x, y))
                area |= QRect(x, y, 1, 1);
    return area;
}

RingProfile ring(const QString& name, const std::optional<QString>& appId, const QMap<int, ActionType>& actions)
{
    QList<ActionSlot> slots;
    for (int i = 0; i < 8; ++i) {
        ActionSlot slot = ActionSlot::empty(i);
        slot.title = QString::number(i);
        slot.action = actions.value(i, slot.action);
        slot.isEnabled = actions.contains(i);
        slots << slot;
    }
    return RingProfile(QUuid::createUuid(), name, appId, std::nullopt, slots, !appId);
}
} // namespace


class TestWaylandE2E : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QProcessEnvironment m_env;
    bool m_kwin = false;
    Input m_input;
    QProcess m_rondix;
    Target m_a, m_b;
    QByteArray m_log;

    bool move(QPoint p) { return m_input.move(p); }
    bool click() { return m_input.click(); }
    bool key(int code) { return m_input.key(code); }
    bool hotkey() { return m_input.chord({kKeyLeftAlt}, kKeySpace); }
    Target& target(const QString& appId) { return appId == kAppA ? m_a : m_b; }

    QVariant property(const QString& name)
    {
        QDBusInterface props(kService, QStringLiteral("/org/rondix/Rondix"),
                             QStringLiteral("org.freedesktop.DBus.Properties"));
        return props.call(QStringLiteral("Get"), kService, name).arguments().value(0).value<QDBusVariant>().variant();
    }
    bool ringVisible() { return property(QStringLiteral("RingVisible")).toBool(); }
    QRect ringGeometry()
    {
        return qdbus_cast<QRect>(property(QStringLiteral("RingGeometry")).value<QDBusArgument>());
    }
    // The ring is up and placed; its square, else an empty rectangle.
    QRect waitForRing()
    {
        QRect r;
        if (!QTest::qWaitFor([&] { return ringVisible() && !(r = ringGeometry()).isEmpty(); }, 3000))
            return {};
        return r;
    }
    bool waitHidden() { return QTest::qWaitFor([&] { return !ringVisible(); }, 3000); }

    static QPoint sectorPoint(const QPoint& centre, int index, int distance = 100)
    {
        const double a = index * M_PI / 4;
        return centre + QPoint(qRound(distance * std::sin(a)), qRound(-distance * std::cos(a)));
    }
    // The window of an app id, in layout coordinates; empty when sway has none.
    static QRect windowRect(const QJsonObject& node, const QString& appId)
    {
        if (node.value(QLatin1String("app_id")).toString() == appId) {
            const QJsonObject r = node.value(QLatin1String("rect")).toObject();
            return QRect(r.value(QLatin1String("x")).toInt(), r.value(QLatin1String("y")).toInt(),
                         r.value(QLatin1String("width")).toInt(), r.value(QLatin1String("height")).toInt());
        }
        for (const char* children : {"nodes", "floating_nodes"})
            for (const QJsonValue& child : node.value(QLatin1String(children)).toArray())
                if (const QRect r = windowRect(child.toObject(), appId); !r.isEmpty())
                    return r;
        return {};
    }
    static QJsonObject tree()
    {
        return QJsonDocument::fromJson(commandOutput(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree")})
                                           .toUtf8())
            .object();
    }
    // The window of an app id on the screen; empty while it is not laid out.
    QRect windowRect(const QString& appId)
    {
        if (m_kwin)
            return appId == kAppA ? kKWinRectA : kKWinRectB;
        return windowRect(tree(), appId);
    }
    // Focuses the window the way a user does: a click into it. The window
    // itself says when it is the active one.
    bool focus(const QString& appId)
    {
        QRect window; // a window just started may not be laid out yet
        if (!QTest::qWaitFor([&] { return !(window = windowRect(appId)).isEmpty(); }, 3000) ||
            !move(window.center()) || !click())
            return false;
        Target& t = target(appId);
        Target& other = target(appId == kAppA ? kAppB : kAppA);
        if (QTest::qWaitFor([&] { return (t.read(), other.read(), t.active && !other.active); }, 3000))
            return true;
        qWarning().noquote() << "focus" << appId << "at" << window << "; active:" << t.active
                             << "; the other active:" << other.active << "; ring visible:" << ringVisible();
        return false;
    }
    // Waits until `t` has seen `count` keys; on a timeout, says what it saw
    // and what Rondix logged meanwhile.
    QByteArray keysArrive(Target& t, qsizetype count)
    {
        if (QTest::qWaitFor([&] { return (t.read(), t.keys.size()) >= count; }, 3000) && t.keys.size() == count)
            return {};
        m_log += m_rondix.readAllStandardOutput();
        m_a.read();
        m_b.read();
        return "A: " + m_a.keys.join(QLatin1Char(' ')).toUtf8() + "; B: " + m_b.keys.join(QLatin1Char(' ')).toUtf8() +
               "; this one's: " + t.keys.join(QLatin1Char(' ')).toUtf8() + ", expected " + QByteArray::number(count) +
               "; Rondix said:\n" + m_log;
    }
    // Summons with the hotkey at `at`, picks `sector`, and waits for the ring to go.
    bool useRing(const QPoint& at, int sector)
    {
        if (!move(at) || !hotkey())
            return false;
        const QRect r = waitForRing();
        if (r.isEmpty())
            return false;
        move(r.center() + QPoint(3, 3));
        move(sectorPoint(r.center(), sector));
        return click() && waitHidden();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_kwin = qEnvironmentVariable("RONDIX_TEST_COMPOSITOR") == QLatin1String("kwin");
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || (!m_kwin && qEnvironmentVariableIsEmpty("SWAYSOCK")))
            QSKIP("needs a Wayland test session (tests/session/run-wayland-session or run-kwin-session)");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(m_tmp.isValid());

        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("HOME"), m_tmp.path());
        for (const char* dir : {"CONFIG", "DATA", "CACHE"})
            m_env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(dir)),
                         m_tmp.filePath(QString::fromLatin1(dir).toLower()));
        m_env.remove(QStringLiteral("RONDIX_PLATFORM"));
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));

        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("config/Rondix"))));
        QFile conf(m_tmp.filePath(QStringLiteral("config/Rondix/Rondix.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\napp_language=en\nsoundEnabled=false\nhideDockIcon=true\nlaunchAtLogin=false\n");
        conf.close();
        // The global ring: Ctrl+Shift+K north, a paste east. Application A: F5 north.
        const KeyModifiers ctrlShift{false, false, true, true};
        const QList<RingProfile> rings{
            ring(QStringLiteral("Global"), std::nullopt,
                 {{kNorth, ActionType::shortcut(QStringLiteral("K"), 40, ctrlShift)},
                  {kEast, ActionType::pasteText(kPaste)}}),
            ring(QStringLiteral("A"), kAppA, {{kNorth, ActionType::shortcut(QStringLiteral("F5"), 96, {})}})};
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("data/Rondix"))));
        QFile store(m_tmp.filePath(QStringLiteral("data/Rondix/profiles.json")));
        QVERIFY(store.open(QIODevice::WriteOnly));
        store.write(encodeRingProfiles(rings));
        store.close();

        QVERIFY(m_input.start(kScreen.width(), kScreen.height()));
        QVERIFY(m_a.start(kAppA, m_env));
        QVERIFY(m_b.start(kAppB, m_env));
        QVERIFY(focus(kAppB));

        m_rondix.setProcessEnvironment(m_env);
        m_rondix.start(kRondix);
        QVERIFY(QTest::qWaitFor(
            [&] { return (m_log += m_rondix.readAllStandardOutput()).contains("Application launched successfully."); },
            10000));
        QVERIFY2(m_log.contains("Successfully registered custom hotkey"), m_log.constData());
        QVERIFY(!ringVisible());
    }

    void cleanupTestCase()
    {
        m_rondix.kill();
        m_rondix.waitForFinished(3000);
        m_a.stop();
        m_b.stop();
        m_input.stop();
    }

    void init()
    {
        // A failed case may leave its ring up; the next starts without one.
        if (ringVisible()) {
            key(kKeyEsc);
            QVERIFY(waitHidden());
        }
    }

    void summonAtPointer_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QRect>("ring");
        QTest::newRow("middle of the screen") << QPoint(500, 400) << QRect(320, 220, 360, 360);
        // Near a corner the ring is kept on the screen.
        QTest::newRow("top left corner") << QPoint(20, 30) << QRect(0, 0, 360, 360);
        QTest::newRow("bottom right corner") << QPoint(1270, 790) << QRect(920, 440, 360, 360);
        QTest::newRow("below the windows") << QPoint(640, 560) << QRect(460, 380, 360, 360);
    }
    void summonAtPointer()
    {
        QFETCH(QPoint, pointer);
        QFETCH(QRect, ring);
        QVERIFY(move(pointer));
        const QImage before = m_kwin ? kwinScreen() : QImage();
        QVERIFY(!m_kwin || !before.isNull());
        QProcess summon;
        summon.setProcessEnvironment(m_env);
        summon.start(kRondix, {QStringLiteral("summon")});
        QVERIFY(summon.waitForFinished(10000));
        QCOMPARE(summon.exitCode(), 0);
        QCOMPARE(waitForRing(), ring);
        if (m_kwin) {
            // KWin shows the ring where Rondix put it: what changed on the
            // screen lies in the ring's square, and is a disc about its
            // centre where no window hides part of it.
            const bool whole = !ring.intersects(kKWinRectA) && !ring.intersects(kKWinRectB);
            QRect drawn;
            const bool shown = QTest::qWaitFor(
                [&] {
                    drawn = changedArea(before, kwinScreen());
                    return whole ? drawn.width() > 250 && drawn.height() > 250 : !drawn.isEmpty();
                },
                3000);
            const QString where = QStringLiteral("drawn at %1,%2 %3x%4")
                                      .arg(drawn.x()).arg(drawn.y()).arg(drawn.width()).arg(drawn.height());
            QVERIFY2(shown && ring.contains(drawn), qPrintable(where));
            if (whole)
                QVERIFY2((drawn.center() - ring.center()).manhattanLength() <= 4, qPrintable(where));
        }
        QVERIFY(key(kKeyEsc));
        QVERIFY(waitHidden());
        // And takes it away.
        if (m_kwin)
            QVERIFY(QTest::qWaitFor([&] { return changedArea(before, kwinScreen()).isEmpty(); }, 3000));
    }

    void closes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("distance"); // from the centre, for "move"
        QTest::addColumn<bool>("closes");
        QTest::newRow("escape") << "escape" << 0 << true;
        QTest::newRow("inside the ring stays open") << "move" << 160 << false;
        QTest::newRow("past radius 166 closes") << "move" << 170 << true;
        QTest::newRow("click elsewhere") << "click elsewhere" << 0 << true;
    }
    void closes()
    {
        QFETCH(QString, how);
        QFETCH(int, distance);
        QFETCH(bool, closes);
        const QPoint centre(640, 400);
        QVERIFY(move(centre));
        QVERIFY(hotkey());
        QCOMPARE(waitForRing().center(), centre - QPoint(1, 1)); // 360 square: centre pixel rounds down
        if (how == QLatin1String("escape")) {
            QVERIFY(key(kKeyEsc));
        } else if (how == QLatin1String("move")) {
            QVERIFY(move(centre + QPoint(0, -100)));
            QVERIFY(move(centre + QPoint(distance, 0)));
        } else {
            // The ring, summoned with the pointer far off, stays while it moves there.
            QVERIFY(key(kKeyEsc));
            QVERIFY(waitHidden());
            QVERIFY(move(QPoint(100, 100)));
            QDBusInterface(kService, QStringLiteral("/org/rondix/Rondix"), kService)
                .call(QStringLiteral("Reopen"));
            // Centred on the screen (its centre pixel rounds down, as the ring's does).
            QVERIFY((waitForRing().center() - (centre - QPoint(1, 1))).manhattanLength() <= 2);
            QVERIFY(move(QPoint(120, 110)));
            QTest::qWait(100);
            QVERIFY(ringVisible());
            QVERIFY(click());
        }
        if (closes) {
            QVERIFY(waitHidden());
        } else {
            QTest::qWait(300);
            QVERIFY(ringVisible());
            QVERIFY(key(kKeyEsc));
            QVERIFY(waitHidden());
        }
    }

    void keysAndPasteReachTheFocusedWindow()
    {
        QVERIFY(focus(kAppB));
        m_b.read();
        m_b.keys.clear();
        const QPoint at(500, 400);
        for (int i = 1; i <= 20; ++i) {
            QVERIFY2(useRing(at, kNorth), qPrintable(QStringLiteral("shortcut round %1").arg(i)));
            const QByteArray missed = keysArrive(m_b, i);
            QVERIFY2(missed.isEmpty(), missed.constData());
            QCOMPARE(m_b.keys.last(), QStringLiteral("Ctrl+Shift+K"));
        }
        for (int i = 1; i <= 20; ++i) {
            QVERIFY2(useRing(at, kEast), qPrintable(QStringLiteral("paste round %1").arg(i)));
            QTRY_COMPARE_WITH_TIMEOUT((m_b.read(), m_b.text), kPaste.repeated(i), 3000);
        }
        // Every key arrived once: the shortcuts and one Ctrl+V per paste, nothing more.
        QCOMPARE(m_b.keys.size(), 40);
        QCOMPARE(m_b.keys.count(QStringLiteral("Ctrl+V")), 20);
    }

    void ringFollowsTheFocusedApplication()
    {
        const QPoint at(500, 400);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(focus(kAppA));
            m_a.read();
            const qsizetype aKeys = m_a.keys.size();
            QVERIFY(useRing(at, kNorth));
            const QByteArray missedA = keysArrive(m_a, aKeys + 1);
            QVERIFY2(missedA.isEmpty(), missedA.constData());
            QCOMPARE(m_a.keys.last(), QStringLiteral("F5"));

            QVERIFY(focus(kAppB));
            m_b.read();
            const qsizetype bKeys = m_b.keys.size();
            QVERIFY(useRing(at, kNorth));
            const QByteArray missedB = keysArrive(m_b, bKeys + 1);
            QVERIFY2(missedB.isEmpty(), missedB.constData());
            QCOMPARE(m_b.keys.last(), QStringLiteral("Ctrl+Shift+K"));
        }
    }
};

QTEST_GUILESS_MAIN(TestWaylandE2E)
#include "tst_wayland_e2e.moc"
