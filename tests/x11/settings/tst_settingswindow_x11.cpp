// The settings window of a running Rondix on the real X server, driven with
// the keyboard alone (real key presses through xdotool), and what a screen
// reader sees of it over AT-SPI (python3-pyatspi reads the tree).
#include "model/ModelJson.h"
#include "model/RingProfile.h"
#include "SettingsWindowOnScreen.h"

#include <QtDBus>
#include <QtTest>

using namespace SettingsWindowOnScreen;

class TestSettingsWindowX11 : public QObject
{
    Q_OBJECT

    RondixHome m_home;
    QProcess m_rondix;
    RingProfile m_mail;

    QByteArray storeBytes() const { return m_home.store(); }
    QList<RingProfile> stored() const
    {
        return decodeRingProfiles(storeBytes()).value_or(QList<RingProfile>());
    }
    bool mailCleared() const
    {
        const std::optional<RingProfile> mail = storedMail();
        return mail && std::all_of(mail->slots.begin(), mail->slots.end(),
                                   [](const ActionSlot& s) { return s.isEmpty(); });
    }
    std::optional<RingProfile> storedMail() const
    {
        for (const RingProfile& p : stored())
            if (p.id == m_mail.id)
                return p;
        return std::nullopt;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the X11 test session (tests/session/run-session)");
        int status = 0;
        commandOutput(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-c"), QStringLiteral("import pyatspi")}, &status);
        if (status != 0)
            QSKIP("python3-pyatspi is not installed (scripts/deps installs it)");
        QVERIFY(!RondixHome::onBus());
        // The market has no server here: its tab shows the network error.
        QVERIFY(m_home.writeSettings("launchAtLogin=false\nrx_market_base_url=http://127.0.0.1:9\n"));
        const RingProfile global = PresetProfiles::globalDefault();
        QList<ActionSlot> slots;
        for (qint64 i = 0; i < 8; ++i) {
            ActionSlot slot = ActionSlot::empty(i);
            slot.title = QStringLiteral("Mail %1").arg(i);
            slot.action = ActionType::openURL(QStringLiteral("https://example.org/%1").arg(i));
            slot.isEnabled = true;
            slots << slot;
        }
        m_mail = RingProfile(QUuid::createUuid(), "Mail", QStringLiteral("org.example.Mail"), std::nullopt,
                             slots, false);
        QVERIFY(writeFile(m_home.storePath(), encodeRingProfiles({global, m_mail})));
        QVERIFY(!open(m_home, m_rondix).isEmpty());
    }

    void cleanupTestCase() { RondixHome::stop(m_rondix); }

    // Every control a keyboard reaches has a name a screen reader can say.
    void accessibleNames()
    {
        QStringList unnamed;
        const QStringList names = showingNames(&unnamed);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        for (const char* expected :
             {"Ring Profiles", "General & Hotkeys", "Ring Market", "Test Summon (Alt+Space)", "Rings",
              "Global Ring (Default), Global", "Mail", "Add a Ring for an App…", "Export Ring…",
              "Import Ring…", "Clear All Sectors"})
            QVERIFY2(names.contains(QString::fromUtf8(expected)), expected);
        // The global ring is selected: it cannot be deleted.
        QVERIFY(!names.contains("Delete this app's ring"));
    }

    // Select a ring, clear it, undo, delete it, undo: keys only.
    void keyboardOnly()
    {
        const QByteArray before = storeBytes();
        QVERIFY(tabTo("Rings"));
        pressKeys("Down");
        QTRY_VERIFY_WITH_TIMEOUT(showingNamed("Delete this app's ring"), 5000);

        QVERIFY(tabTo("Clear All Sectors"));
        pressKeys("Return");
        QTRY_VERIFY_WITH_TIMEOUT(mailCleared(), 5000);
        pressKeys("ctrl+z");
        QTRY_COMPARE_WITH_TIMEOUT(storeBytes(), before, 5000);

        QVERIFY(tabTo("Delete this app's ring", "shift+Tab"));
        pressKeys("Return");
        QTRY_VERIFY_WITH_TIMEOUT(!storedMail().has_value(), 5000);
        pressKeys("ctrl+z");
        QTRY_COMPARE_WITH_TIMEOUT(storeBytes(), before, 5000);
        pressKeys("ctrl+shift+z");
        QTRY_VERIFY_WITH_TIMEOUT(!storedMail().has_value(), 5000);
        pressKeys("ctrl+z");
        QTRY_COMPARE_WITH_TIMEOUT(storeBytes(), before, 5000);

        // Tabs by keyboard: Ctrl+2 and back with Tab and Space on the picker.
        pressKeys("ctrl+2");
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                for (const Accessible& a : tree())
                    if (a.name == "General & Hotkeys")
                        return a.checked;
                return false;
            }(),
            5000);
        QVERIFY(tabTo("Ring Profiles"));
        pressKeys("Return");
        QTRY_VERIFY_WITH_TIMEOUT(showingNamed("Clear All Sectors"), 5000);
    }
};

QTEST_GUILESS_MAIN(TestSettingsWindowX11)
#include "tst_settingswindow_x11.moc"
