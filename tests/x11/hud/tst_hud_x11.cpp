#include "common/Clock.h"
#include "hud/SoundFeedback.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

// The ring window on a real X server (Xvfb + openbox): placement, focus,
// closing by Escape and by clicks elsewhere, pointer tracking, sounds.
class ClientWindow : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

class TestHudX11 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void ringNeverTakesFocus();
    void escapeClosesRing();
    void clickElsewhereClosesRingAndReachesWindow();
    void pointerMovesReachRing();
    void shippedSoundsPlay();

private:
    static void xdotool(const QStringList& args);
    static QString run(const QString& program, const QStringList& args);
    void showRing(const QPoint& at);

    QTemporaryDir m_config;
    std::unique_ptr<ClientWindow> m_client;
    std::unique_ptr<WhirloPanel> m_panel;
};

void TestHudX11::xdotool(const QStringList& args)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), args), 0);
}

QString TestHudX11::run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

void TestHudX11::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run inside tests/session/run-session)");
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    QCOMPARE(Platform::instance().backendName, QStringLiteral("x11"));

    m_client = std::make_unique<ClientWindow>();
    m_client->setWindowTitle(QStringLiteral("client"));
    m_client->setGeometry(900, 500, 400, 300);
    m_client->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_client.get()));
    m_client->activateWindow();
    QTRY_VERIFY(m_client->isActiveWindow());

    m_panel = std::make_unique<WhirloPanel>(
        Platform::instance(), [](const RingProfile& profile, const std::optional<RunningApp>&,
                                 std::function<void()> onDismiss, QWidget* parent) {
            HudServices s;
            s.getVolume = [] { return std::optional<float>(0.5f); };
            s.isMuted = [] { return false; };
            return new WhirloHUDView(profile, s, std::move(onDismiss), parent);
        });
}

void TestHudX11::cleanup()
{
    if (m_panel)
        m_panel->hide();
    QTest::qWait(50);
}

void TestHudX11::showRing(const QPoint& at)
{
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    QTest::qWait(50);
    m_panel->show(at, PresetProfiles::globalDefault(), std::nullopt);
    QVERIFY(QTest::qWaitForWindowExposed(m_panel->window()));
}

void TestHudX11::ringNeverTakesFocus()
{
    showRing(QPoint(400, 300));
    QWidget* w = m_panel->window();
    QCOMPARE(w->geometry(), QRect(220, 120, 360, 360));
    const QString info =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(w->winId())});
    QVERIFY2(info.contains(QLatin1String("Override Redirect State: yes")), qPrintable(info));
    QTest::qWait(200);
    QVERIFY(m_client->isActiveWindow());
    QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed(),
             QString::number(m_client->winId()));
}

void TestHudX11::escapeClosesRing()
{
    showRing(QPoint(400, 300));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isShown(), 2000);
    QVERIFY(!m_panel->window()->isVisible());
    QVERIFY(m_client->isActiveWindow());
}

void TestHudX11::clickElsewhereClosesRingAndReachesWindow()
{
    showRing(QPoint(400, 300));
    const int before = m_client->presses;
    xdotool({QStringLiteral("mousemove"), QStringLiteral("1000"), QStringLiteral("600")});
    // Moving off the ring closes it too; summon again with the pointer over the client.
    m_panel->hide();
    m_panel->show(QPoint(400, 300), PresetProfiles::globalDefault(), std::nullopt);
    QVERIFY(QTest::qWaitForWindowExposed(m_panel->window()));
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isShown(), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(m_client->presses, before + 1, 2000);
}

void TestHudX11::pointerMovesReachRing()
{
    showRing(QPoint(400, 300));
    WhirloHUDView* hud = m_panel->hud();
    QTRY_VERIFY_WITH_TIMEOUT(hud->controller().isHoveringCenter(), 1000); // seeded at the centre
    xdotool({QStringLiteral("mousemove"), QStringLiteral("400"), QStringLiteral("200")});
    QTRY_COMPARE_WITH_TIMEOUT(hud->controller().hoveredSectorIndex(), std::optional<int>(0), 2000);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("500"), QStringLiteral("300")});
    QTRY_COMPARE_WITH_TIMEOUT(hud->controller().hoveredSectorIndex(), std::optional<int>(2), 2000);
    // Out past radius 166: the ring fades and the panel hides.
    xdotool({QStringLiteral("mousemove"), QStringLiteral("400"), QStringLiteral("470")});
    QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isShown(), 2000);
}

void TestHudX11::shippedSoundsPlay()
{
    SoundPlayer* player = Platform::instance().sounds;
    QVERIFY(player);
    SoundFeedback sounds(player, Clock::system(), SoundFeedback::defaultSoundDirectories());
    QVERIFY2(!sounds.hoverFile().isEmpty(), "hover_tap.wav not found");
    QVERIFY(!sounds.triggerFile().isEmpty());
    // The sound server decodes and plays both files.
    QVERIFY(player->playFile(sounds.hoverFile(), 0, 0.95));
    QVERIFY(player->playFile(sounds.triggerFile(), 4, 0.95));
}

QTEST_MAIN(TestHudX11)
#include "tst_hud_x11.moc"
