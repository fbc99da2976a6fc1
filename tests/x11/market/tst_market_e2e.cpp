// `rondix market install` while Rondix runs: the command asks the running
// program over D-Bus, which downloads from its configured market (a real
// rondix-market serve on 127.0.0.1 with packages signed by the build's key),
// installs into its own ring store and answers with the same texts.
#include "../../unit/market/MarketTestServer.h"

#include "model/ModelJson.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSettings>
#include <QTest>

namespace {

const QString kRondix = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix");
const QString kService = QStringLiteral("org.rondix.Rondix");
const QString kBuildKeys = QStringLiteral(RONDIX_BINARY_DIR "/market");

QByteArray ringJson(const QString& name)
{
    QList<ActionSlot> slots;
    for (int i = 0; i < 8; ++i)
        slots << ActionSlot::empty(i);
    slots[3].title = QStringLiteral("Reply");
    slots[3].isEnabled = true;
    slots[3].action = ActionType::shortcut(QStringLiteral("R"), 15, KeyModifiers{.control = true});
    return encodeRingProfile(RingProfile(QUuid::createUuid(), name, std::nullopt, std::nullopt, slots, false));
}

struct Result
{
    int status = -1;
    QString out, err;
};

} // namespace

class TestMarketEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    QProcess m_rondix;
    std::unique_ptr<MarketTestServer> m_server;

    // The command runs with folders of its own: whatever reaches the program's
    // store and settings came over D-Bus, not from the command writing them.
    Result rondix(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = m_env;
        for (const char* dir : {"CONFIG", "DATA"})
            env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(dir)),
                       m_home.filePath(QStringLiteral("cli/") + QString::fromLatin1(dir).toLower()));
        p.setProcessEnvironment(env);
        p.start(kRondix, args);
        Result r;
        // The test's own event loop keeps running meanwhile (the market answers from another process).
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QList<RingProfile> storedRings() const
    {
        return decodeRingProfiles(MarketTestServer::read(m_home.filePath("data/Rondix/profiles.json")))
            .value_or(QList<RingProfile>{});
    }
    int mailRings() const
    {
        const QList<RingProfile> rings = storedRings();
        return int(std::count_if(rings.begin(), rings.end(),
                                 [](const RingProfile& r) { return r.bundleIdentifier == "org.example.Mail"; }));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(kBuildKeys + "/signing.key"))
            QSKIP("this build was given a market key; its signing key is not here");
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value());

        m_server = std::make_unique<MarketTestServer>();
        QVERIFY(m_server->sign(MarketTestServer::item("mail", "Mail", "org.example.Mail"), ringJson("Mail"), kBuildKeys));
        QVERIFY(m_server->sign(MarketTestServer::item("paint", "Paint", "org.example.Paint"), ringJson("Paint"),
                               kBuildKeys));
        // A package whose signature was changed by one byte.
        QJsonObject doc = QJsonDocument::fromJson(MarketTestServer::read(m_server->packagePath("paint"))).object();
        QString sig = doc["sig"].toString();
        sig[5] = sig[5] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
        doc["sig"] = sig;
        QVERIFY(MarketTestServer::write(m_server->packagePath("paint"), QJsonDocument(doc).toJson()));
        QVERIFY(m_server->start());

        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("HOME", m_home.path());
        for (const char* dir : {"CONFIG", "DATA", "CACHE"})
            m_env.insert(QStringLiteral("XDG_%1_HOME").arg(QLatin1String(dir)),
                         m_home.filePath(QString::fromLatin1(dir).toLower()));
        m_env.remove("RONDIX_PLATFORM");
        m_env.remove("QT_QPA_PLATFORM");
        QDir().mkpath(m_home.filePath("config/Rondix"));
        QVERIFY(MarketTestServer::write(m_home.filePath("config/Rondix/Rondix.conf"),
                                        "[General]\napp_language=en\nsoundEnabled=false\nhideDockIcon=true\n"
                                        "launchAtLogin=false\nrx_market_base_url=" +
                                            m_server->url().toString().toUtf8() + "\n"));

        m_rondix.setProcessEnvironment(m_env);
        m_rondix.start(kRondix, {});
        QVERIFY(m_rondix.waitForStarted());
        QVERIFY(QTest::qWaitFor(
            [&] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value(); }, 10000));
    }

    void cleanupTestCase()
    {
        m_rondix.terminate();
        if (!m_rondix.waitForFinished(5000))
            m_rondix.kill();
        m_server.reset();
    }

    void installThroughRunningRondix()
    {
        Result r = rondix({"market", "install", "mail"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("Imported the ring for Mail.\n"));
        // The running program wrote its own store and installed set.
        QCOMPARE(mailRings(), 1);
        QSettings settings(m_home.filePath("config/Rondix/Rondix.conf"), QSettings::IniFormat);
        QCOMPARE(settings.value("rx_market_installed").toStringList(), QStringList{"mail"});

        r = rondix({"market", "install", "mail"});
        QCOMPARE(r.status, 0);
        QCOMPARE(mailRings(), 1);
        QCOMPARE(m_rondix.state(), QProcess::Running);
        QVERIFY(!QFile::exists(m_home.filePath("cli/data/Rondix/profiles.json")));
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
        const QByteArray before = MarketTestServer::read(m_home.filePath("data/Rondix/profiles.json"));
        const Result r = rondix(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err == "rondix market: " + error + "\n", qPrintable(r.err));
        QCOMPARE(MarketTestServer::read(m_home.filePath("data/Rondix/profiles.json")), before);
        QCOMPARE(m_rondix.state(), QProcess::Running);
    }

    void listWhileRunning()
    {
        const Result r = rondix({"market", "list", "--url", m_server->url().toString()});
        QCOMPARE(r.status, 0);
        // Listing needs no running program; the command's own (empty) settings know of no install.
        QVERIFY2(r.out.startsWith("mail   Mail  v1.0\n"), qPrintable(r.out));
        QVERIFY(!QFile::exists(m_home.filePath("cli/data/Rondix/profiles.json")));
    }
};

QTEST_GUILESS_MAIN(TestMarketEndToEnd)
#include "tst_market_e2e.moc"
