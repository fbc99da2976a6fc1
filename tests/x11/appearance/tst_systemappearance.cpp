// The desktop's light or dark preference read from a settings portal on the
// session bus, and followed when the portal announces a change, also by the
// ring and the volume indicator while they are on screen.
#include "actions/VolumeOSDManager.h"
#include "common/AppSettings.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "platform/freedesktop/SystemAppearance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
const QString kService = u"org.freedesktop.portal.Desktop"_s;
const QString kPath = u"/org/freedesktop/portal/desktop"_s;

// The part of xdg-desktop-portal's Settings interface that Rondix reads; an
// older portal (version 1 of the interface) has no ReadOne.
class FakeSettingsPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    explicit FakeSettingsPortal(uint scheme, bool hasReadOne = true)
        : m_scheme(scheme)
        , m_hasReadOne(hasReadOne)
    {
    }

    QStringList calls;

    void change(uint scheme)
    {
        m_scheme = scheme;
        QDBusMessage signal = QDBusMessage::createSignal(kPath, u"org.freedesktop.portal.Settings"_s,
                                                         u"SettingChanged"_s);
        signal << u"org.freedesktop.appearance"_s << u"color-scheme"_s
               << QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme)));
        QDBusConnection::sessionBus().send(signal);
    }

public Q_SLOTS:
    QDBusVariant ReadOne(const QString& nameSpace, const QString& key)
    {
        calls << u"ReadOne"_s;
        if (!m_hasReadOne) {
            sendErrorReply(QDBusError::UnknownMethod, u"No such method"_s);
            return {};
        }
        return QDBusVariant(Read(nameSpace, key).variant().value<QDBusVariant>().variant());
    }

    // Read answers with the value wrapped in a second variant, as the portal does.
    QDBusVariant Read(const QString& nameSpace, const QString& key)
    {
        if (calledFromDBus() && message().member() == u"Read"_s)
            calls << u"Read"_s;
        if (nameSpace != u"org.freedesktop.appearance"_s || key != u"color-scheme"_s)
            return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(0u))));
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue(m_scheme))));
    }

private:
    uint m_scheme;
    bool m_hasReadOne;
};
} // namespace

class tst_SystemAppearance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the test session's bus");
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        m_lightPalette = QGuiApplication::palette().color(QPalette::Window).lightness() >= 128;
    }

    void cleanup()
    {
        QDBusConnection::sessionBus().unregisterObject(kPath);
        QDBusConnection::sessionBus().unregisterService(kService);
        AppSettings::remove(u"rondix_theme_mode"_s);
    }

    void portalPreference_data()
    {
        QTest::addColumn<uint>("scheme");
        QTest::addColumn<QString>("themeMode");
        QTest::addColumn<bool>("systemDark");
        QTest::addColumn<bool>("themeDark");
        // The palette of the test session is light, so "no preference" reads light.
        QTest::newRow("prefers dark") << 1u << u"system"_s << true << true;
        QTest::newRow("prefers light") << 2u << u"system"_s << false << false;
        QTest::newRow("no preference") << 0u << u"system"_s << false << false;
        QTest::newRow("unknown value") << 7u << u"system"_s << false << false;
        QTest::newRow("light theme on a dark desktop") << 1u << u"light"_s << true << false;
        QTest::newRow("dark theme on a light desktop") << 2u << u"dark"_s << false << true;
        QTest::newRow("stored Dark is no theme") << 1u << u"Dark"_s << true << true;
    }

    void portalPreference()
    {
        QFETCH(uint, scheme);
        QFETCH(QString, themeMode);
        QFETCH(bool, systemDark);
        QFETCH(bool, themeDark);
        QVERIFY(m_lightPalette);
        FakeSettingsPortal portal(scheme);
        publish(&portal);
        AppSettings::setValue(u"rondix_theme_mode"_s, themeMode);

        SystemAppearance appearance;
        QTRY_COMPARE(appearance.portalColorScheme(), int(scheme));
        QCOMPARE(appearance.isDark(), systemDark);
        QCOMPARE(appearance.themeIsDark(), themeDark);
    }

    void asksTheOlderCallOfAnOlderPortal_data()
    {
        QTest::addColumn<bool>("hasReadOne");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("current portal") << true << QStringList{u"ReadOne"_s};
        QTest::newRow("portal without ReadOne") << false << QStringList{u"ReadOne"_s, u"Read"_s};
    }

    void asksTheOlderCallOfAnOlderPortal()
    {
        QFETCH(bool, hasReadOne);
        QFETCH(QStringList, calls);
        FakeSettingsPortal portal(1, hasReadOne);
        publish(&portal);
        SystemAppearance appearance;
        QTRY_COMPARE(appearance.portalColorScheme(), 1);
        QVERIFY(appearance.isDark());
        QCOMPARE(portal.calls, calls);
    }

    void followsTheDesktopsSwitch()
    {
        FakeSettingsPortal portal(2);
        publish(&portal);
        SystemAppearance appearance;
        QTRY_COMPARE(appearance.portalColorScheme(), 2);
        QSignalSpy changed(&appearance, &SystemAppearance::isDarkChanged);

        portal.change(1);
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toBool(), true);
        QVERIFY(appearance.isDark());

        // The same value again is no change.
        portal.change(1);
        portal.change(2);
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(changed.at(1).at(0).toBool(), false);
    }

    void withoutPortalThePaletteDecides()
    {
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value());
        SystemAppearance appearance;
        QSignalSpy changed(&appearance, &SystemAppearance::isDarkChanged);
        QTest::qWait(200);
        QCOMPARE(appearance.portalColorScheme(), -1);
        QCOMPARE(appearance.isDark(), false);

        QPalette dark = QGuiApplication::palette();
        dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x22));
        QGuiApplication::setPalette(dark);
        QTRY_VERIFY(appearance.isDark());
        QCOMPARE(changed.count(), 1);
        QGuiApplication::setPalette(QPalette());
        QTRY_VERIFY(!appearance.isDark());
    }

    // "Follow the system": the desktop switching re-themes the ring and the
    // volume indicator on screen, and the next ring; a theme chosen by hand wins at once.
    void ringAndIndicatorFollowWhileShown()
    {
        FakeSettingsPortal portal(2);
        publish(&portal);
        AppSettings::setValue(u"rondix_theme_mode"_s, u"system"_s);
        QTRY_COMPARE(SystemAppearance::shared().portalColorScheme(), 2);
        WhirloPanel& ring = WhirloPanel::shared();
        ring.show(QPoint(400, 400), PresetProfiles::globalDefault(), std::nullopt);
        QTRY_VERIFY(ring.hud() && !ring.hud()->isDarkMode());
        VolumeOSDManager osd;
        osd.show(0.5f, false);
        QTRY_VERIFY(osd.panel() && !osd.panel()->isDarkMode());

        portal.change(1);
        QTRY_VERIFY(ring.hud()->isDarkMode());
        QTRY_VERIFY(osd.panel()->isDarkMode());
        ring.hide();
        ring.show(QPoint(400, 400), PresetProfiles::globalDefault(), std::nullopt);
        QTRY_VERIFY(ring.hud() && ring.hud()->isDarkMode());

        AppSettings::setValue(u"rondix_theme_mode"_s, u"light"_s);
        QVERIFY(!ring.hud()->isDarkMode() && !osd.panel()->isDarkMode());
        AppSettings::setValue(u"rondix_theme_mode"_s, u"system"_s);
        QVERIFY(ring.hud()->isDarkMode());
        portal.change(2);
        QTRY_VERIFY(!ring.hud()->isDarkMode());
        ring.hide();
    }

private:
    static void publish(FakeSettingsPortal* portal)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject(kPath, portal, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(kService));
    }

    QTemporaryDir m_config;
    bool m_lightPalette = false;
};

QTEST_MAIN(tst_SystemAppearance)
#include "tst_systemappearance.moc"
