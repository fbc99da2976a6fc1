// Rondix on GNOME: Mutter runs as a Wayland compositor nested in the test
// session's X server (its output is an X window there, so xdotool is the
// user's hands and a screenshot shows what Mutter composed). Mutter offers no
// overlay protocol: the ring is centred on the screen, takes the keyboard for
// Escape, lets a click beside it close it, and the hotkey is handed to
// GNOME's shortcut settings.
#include "DesktopTools.h"
#include "RondixHome.h"

#include <QImage>
#include <QStandardPaths>
#include <QtDBus>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestMutterRing : public QObject
{
    Q_OBJECT

    RondixHome m_home;
    QTemporaryDir m_runtime;
    QProcess m_mutter;
    QProcess m_rondix;
    QProcessEnvironment m_env;
    QRect m_output; // Mutter's output on the X screen
    QImage m_desktop; // what it shows without the ring

    static bool ringVisible() { return RondixHome::property(u"RingVisible"_s).toBool(); }
    static QRect ringGeometry()
    {
        return qdbus_cast<QRect>(RondixHome::property(u"RingGeometry"_s).value<QDBusArgument>());
    }
    bool summon()
    {
        if (m_home.run({u"summon"_s}, m_env).status != 0 ||
            !QTest::qWaitFor([] { return ringVisible() && !ringGeometry().isEmpty(); }, 5000))
            return false;
        // Rondix counts the ring as shown once it asked for the window; Mutter
        // maps it a moment later, and a click before that reaches the desktop.
        QTest::qWait(300);
        return true;
    }
    static bool waitHidden() { return QTest::qWaitFor([] { return !ringVisible(); }, 3000); }
    // What Mutter shows, cut from a screenshot of the X screen.
    QImage outputShot()
    {
        const QString file = m_home.path(u"shot.png"_s);
        commandOutput(u"import"_s, {u"-window"_s, u"root"_s, file});
        return QImage(file).copy(m_output);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(u"mutter"_s).isEmpty())
            QSKIP("mutter is not installed");
        QVERIFY(m_runtime.isValid());
        QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner);
        QProcessEnvironment mutterEnv = QProcessEnvironment::systemEnvironment();
        mutterEnv.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        mutterEnv.insert(u"GSETTINGS_BACKEND"_s, u"memory"_s);
        m_mutter.setProcessEnvironment(mutterEnv);
        m_mutter.setProcessChannelMode(QProcess::MergedChannels);
        m_mutter.start(u"mutter"_s, {u"--wayland"_s, u"--nested"_s, u"--no-x11"_s, u"--wayland-display"_s,
                                     u"rondix-mutter"_s});
        const QString socket = m_runtime.filePath(u"rondix-mutter"_s);
        QVERIFY2(QTest::qWaitFor([&] { return QFile::exists(socket); }, 15000), m_mutter.readAll().constData());
        // Mutter's output window names itself only in _NET_WM_NAME; xwininfo
        // lists it with its size and absolute position. It opens small and
        // then takes its size: wait until two looks agree.
        const QRegularExpression line(uR"("mutter": \(\)\s+(\d+)x(\d+)\S*\s+\+(-?\d+)\+(-?\d+))"_s);
        const auto outputNow = [&] {
            const QRegularExpressionMatch m = line.match(commandOutput(u"xwininfo -root -tree"_s));
            return m.hasMatch() ? QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                                        m.captured(2).toInt())
                                : QRect();
        };
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QRect before = outputNow();
                QTest::qWait(300);
                m_output = outputNow();
                return !m_output.isEmpty() && m_output == before;
            },
            10000));
        QVERIFY(m_output.width() > 360 && m_output.height() > 360);

        // Rondix as a GNOME session starts it; its settings store is a key
        // file, so the test reads what GNOME's shortcut daemon would.
        QVERIFY(m_home.writeSettings());
        m_env = m_home.env;
        m_env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        m_env.insert(u"WAYLAND_DISPLAY"_s, socket);
        m_env.insert(u"XDG_CURRENT_DESKTOP"_s, u"GNOME"_s);
        m_env.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
        m_env.insert(u"GSETTINGS_BACKEND"_s, u"keyfile"_s);
        m_env.remove(u"DISPLAY"_s);
        m_env.remove(u"SWAYSOCK"_s);
        const QByteArray log = m_home.launch(m_rondix, {}, m_env);
        QVERIFY2(!log.isEmpty(), m_rondix.readAll().constData());
        QVERIFY2(log.contains("On GNOME"), log.constData());
        m_desktop = outputShot();
    }

    void cleanupTestCase()
    {
        if (m_rondix.state() != QProcess::NotRunning)
            QVERIFY(RondixHome::stop(m_rondix));
        m_mutter.terminate();
        if (!m_mutter.waitForFinished(5000))
            m_mutter.kill();
    }

    void hotkeyGoesToGnomeShortcuts()
    {
        // The default Alt+Space, as a custom shortcut running this rondix.
        const QByteArray store = readFile(m_home.path(u"config/glib-2.0/settings/keyfile"_s));
        QVERIFY2(store.contains("custom-keybindings/rondix/"), store.constData());
        QVERIFY(store.contains("<Alt>space"));
        QVERIFY(store.contains(QByteArray(RondixHome::binary().toUtf8() + "' summon")));
    }

    void ringIsCentredAndDrawn()
    {
        QVERIFY(summon());
        const QRect ring = ringGeometry();
        QCOMPARE(ring.size(), QSize(360, 360));
        // Centred on Mutter's screen (the work area is the screen here).
        QVERIFY2((ring.center() - QRect(QPoint(), m_output.size()).center()).manhattanLength() <= 2,
                 qPrintable(u"ring at %1,%2 on %3x%4"_s.arg(ring.x()).arg(ring.y()).arg(m_output.width()).arg(
                     m_output.height())));
        QTest::qWait(200); // the rest of the ring's appearance animation
        // Mutter composed the ring there, and the window around it is
        // transparent: beside the ring the desktop shows as it did before.
        const QImage shot = outputShot();
        QVERIFY(!shot.isNull() && !m_desktop.isNull());
        const auto differs = [&](QPoint p) {
            const QColor a = shot.pixelColor(p), b = m_desktop.pixelColor(p);
            return std::max({qAbs(a.red() - b.red()), qAbs(a.green() - b.green()), qAbs(a.blue() - b.blue())});
        };
        // (Mutter draws its pointer at the top left corner.)
        QVERIFY(differs(ring.center() + QPoint(0, -130)) > 60); // a sector of the disc
        for (const QPoint& p : {QPoint(ring.left() - 40, ring.center().y()), QPoint(m_output.width() - 5, 5),
                                QPoint(m_output.width() - 5, m_output.height() - 5)})
            QVERIFY2(differs(p) <= 4, qPrintable(u"%1,%2"_s.arg(p.x()).arg(p.y())));
    }

    void closes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << u"escape"_s;
        QTest::newRow("a click beside the ring") << u"click"_s;
        QTest::newRow("a right click beside the ring") << u"right click"_s;
    }
    void closes()
    {
        QFETCH(QString, how);
        if (!ringVisible())
            QVERIFY(summon());
        const QRect ring = ringGeometry();
        // The pointer over a sector first: the ring follows it there.
        xdotool(u"mousemove %1 %2"_s.arg(m_output.x() + ring.center().x()).arg(m_output.y() + ring.top() + 60));
        QTest::qWait(150);
        QVERIFY(ringVisible());
        if (how == u"escape"_s) {
            pressKeys(u"Escape"_s);
        } else {
            xdotool(u"mousemove %1 %2"_s.arg(m_output.x() + 15).arg(m_output.y() + 15));
            xdotool(QStringList{u"click"_s, how == u"click"_s ? u"1"_s : u"3"_s});
        }
        QVERIFY(waitHidden());
    }
};

QTEST_MAIN(TestMutterRing)
#include "tst_mutter_ring.moc"
