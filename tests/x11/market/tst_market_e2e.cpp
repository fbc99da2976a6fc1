// `rondix market install` while Rondix runs: the command asks the running
// program over D-Bus, which downloads from its configured market (a real
// rondix-market serve on 127.0.0.1 with packages signed by the build's key),
// installs into its own ring store and answers with the same texts.
#include "MarketTestServer.h"
#include "RondixHome.h"

#include <QSettings>

namespace {
const QString kBuildKeys = QStringLiteral(RONDIX_BINARY_DIR "/market");
} // namespace

class TestMarketEndToEnd : public QObject
{
    Q_OBJECT

    RondixHome m_home;
    QProcess m_rondix;
    std::unique_ptr<MarketTestServer> m_server;

    // The command runs with folders of its own: whatever reaches the program's
    // store and settings came over D-Bus, not from the command writing them.
    RondixHome::Result rondix(const QStringList& args)
    {
        QProcessEnvironment env = m_home.env;
        for (const char* dir : {"CONFIG", "DATA"})
            env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(dir)),
                       m_home.path(QStringLiteral("cli/") + QString::fromLatin1(dir).toLower()));
        return m_home.run(args, env);
    }

    int mailRings() const
    {
        const QList<RingProfile> rings = decodeRingProfiles(m_home.store()).value_or(QList<RingProfile>{});
        return int(std::count_if(rings.begin(), rings.end(),
                                 [](const RingProfile& r) { return r.bundleIdentifier == "org.example.Mail"; }));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(kBuildKeys + "/signing.key"))
            QSKIP("this build was given a market key; its signing key is not here");
        QVERIFY(!RondixHome::onBus());

        m_server = std::make_unique<MarketTestServer>();
        QVERIFY(m_server->signRing("mail", "Mail", "Reply", kBuildKeys));
        QVERIFY(m_server->signRing("paint", "Paint", "Reply", kBuildKeys));
        QVERIFY(m_server->tamper("paint", "sig"));
        QVERIFY(m_server->start());

        QVERIFY(m_home.writeSettings(
            "launchAtLogin=false\nrx_market_base_url=" + m_server->url().toString().toUtf8() + "\n"));
        QVERIFY(!m_home.launch(m_rondix).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(RondixHome::onBus(), 10000);
    }

    void cleanupTestCase()
    {
        RondixHome::stop(m_rondix);
        m_server.reset();
    }

    void installThroughRunningRondix()
    {
        RondixHome::Result r = rondix({"market", "install", "mail"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("Imported the ring for Mail.\n"));
        // The running program wrote its own store and installed set.
        QCOMPARE(mailRings(), 1);
        QSettings settings(m_home.path("config/Rondix/Rondix.conf"), QSettings::IniFormat);
        QCOMPARE(settings.value("rx_market_installed").toStringList(), QStringList{"mail"});

        r = rondix({"market", "install", "mail"});
        QCOMPARE(r.status, 0);
        QCOMPARE(mailRings(), 1);
        QCOMPARE(m_rondix.state(), QProcess::Running);
        QVERIFY(!QFile::exists(m_home.path("cli/data/Rondix/profiles.json")));
    }

    void failuresThroughRunningRondix_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown id") << QStringList{"market", "install", "ghost"}
                                    << "No item with the id ghost is in the market.";
        QTest::newRow("tampered signature") << QStringList{"market", "install", "paint"}
                                            << "The ring's signature could not be verified; it was not imported.";
        QTest::newRow("another market that is not there")
            << QStringList{"market", "install", "mail", "--url", "http://127.0.0.1:1"}
            << "Network error: Connection refused";
    }

    void failuresThroughRunningRondix()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const QByteArray before = m_home.store();
        const RondixHome::Result r = rondix(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err == "rondix market: " + error + "\n", qPrintable(r.err));
        QCOMPARE(m_home.store(), before);
        QCOMPARE(m_rondix.state(), QProcess::Running);
    }

    void listWhileRunning()
    {
        const RondixHome::Result r = rondix({"market", "list", "--url", m_server->url().toString()});
        QCOMPARE(r.status, 0);
        // Listing needs no running program; the command's own (empty) settings know of no install.
        QVERIFY2(r.out.startsWith("mail   Mail  v1.0\n"), qPrintable(r.out));
        QVERIFY(!QFile::exists(m_home.path("cli/data/Rondix/profiles.json")));
    }
};

QTEST_GUILESS_MAIN(TestMarketEndToEnd)
#include "tst_market_e2e.moc"
