// "rondix market list|install" against a real rondix-market serve on
// 127.0.0.1, with packages signed by the build's own development key, into a
// ring store in a temporary $XDG_DATA_HOME. No Rondix runs (no session bus), so
// installs write the store directly.
#include "MarketTestServer.h"

#include "l10n/L10n.h"
#include "market/MarketKey.h"
#include "market/MarketProtocol.h"
#include "model/AppProfileManager.h"
#include "model/ModelJson.h"
#include "shell/MarketCommand.h"

#include <QTcpServer>
#include <QTest>
#include <QTextStream>

namespace {

struct Result
{
    int status = -1;
    QString out, err;
};

Result market(const QStringList& args)
{
    Result r;
    QTextStream out(&r.out), err(&r.err);
    r.status = runMarketCommand(args, out, err);
    out.flush();
    err.flush();
    return r;
}

const QString kBuildKeys = QStringLiteral(RONDIX_BINARY_DIR "/market");

} // namespace

class TestMarketCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<MarketTestServer> m_server;
    QString url() const { return m_server->url().toString(); }
    QString storeFile() const { return m_home->filePath("data/Rondix/profiles.json"); }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(kBuildKeys + "/signing.key"))
            QSKIP("this build was given a market key; its signing key is not here");
        QCOMPARE(MarketTestServer(/*unused*/).publicKey(kBuildKeys), MarketKey::verifyingKey());
        // Never reach a Rondix running on the developer's desktop.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/rondix-test-bus");
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", m_home->filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home->filePath("config").toUtf8());
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));
        m_server = std::make_unique<MarketTestServer>();
        QVERIFY(m_server->signRing("mail", "Mail", "Reply", kBuildKeys));
        QVERIFY(m_server->signRing("browser", "Browser", "Reload", kBuildKeys));
    }

    void cleanup() { m_server.reset(); }

    void list()
    {
        QVERIFY(m_server->start());
        const Result r = market({"list", "--url", url()});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("browser  Browser  v1.0"));
        QCOMPARE(lines[1], QStringLiteral("         Rings for Browser — Tests"));
        QCOMPARE(lines[2], QStringLiteral("mail     Mail  v1.0"));
        // Listing opens no ring store.
        QVERIFY(!QFile::exists(storeFile()));
    }

    void listEmpty()
    {
        QVERIFY(QFile::remove(m_server->packagePath("mail")));
        QVERIFY(QFile::remove(m_server->packagePath("browser")));
        QVERIFY(m_server->start());
        const Result r = market({"list", "--url=" + url()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("The market is empty for now. Check back soon.\n"));
    }

    void installTwice()
    {
        QVERIFY(m_server->start());
        Result r = market({"install", "mail", "--url", url()});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("Imported the ring for Mail.\n"));
        r = market({"install", "--url", url(), "mail"});
        QCOMPARE(r.status, 0);
        const auto rings = decodeRingProfiles(MarketTestServer::read(storeFile()));
        QVERIFY(rings);
        QCOMPARE(std::count_if(rings->begin(), rings->end(),
                               [](const RingProfile& ring) { return ring.bundleIdentifier == "org.example.Mail"; }),
                 1);
        r = market({"list", "--url", url()});
        QVERIFY(r.out.contains("mail     Mail  v1.0  (installed)"));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown id") << "ghost" << "No item with the id ghost is in the market.";
        QTest::newRow("tampered package") << "tamper"
                                          << "The ring's signature could not be verified; it was not imported.";
        QTest::newRow("nobody listening") << "refused" << "Network error: Connection refused";
    }

    void failures()
    {
        QFETCH(QString, fault);
        QFETCH(QString, error);
        QString id = QStringLiteral("mail");
        QString target;
        if (fault == "tamper")
            QVERIFY(m_server->tamper("mail", "sig"));
        if (fault == "refused") {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            target = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
        } else {
            QVERIFY(m_server->start());
            target = url();
            if (fault == "ghost")
                id = fault;
        }
        const Result r = market({"install", id, "--url", target});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, "rondix market: " + error + "\n");
        QCOMPARE(r.out, QString());
        const auto rings = decodeRingProfiles(MarketTestServer::read(storeFile()));
        if (rings)
            QVERIFY(std::none_of(rings->begin(), rings->end(),
                                 [](const RingProfile& ring) { return ring.bundleIdentifier == "org.example.Mail"; }));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << QStringList{} << 2 << "missing command";
        QTest::newRow("unknown") << QStringList{"buy"} << 2 << "unknown command 'buy'";
        QTest::newRow("install without id") << QStringList{"install"} << 2 << "install needs an item id";
        QTest::newRow("two ids") << QStringList{"install", "a", "b"} << 2 << "install takes one item id";
        QTest::newRow("list with an argument") << QStringList{"list", "x"} << 2 << "list takes no arguments";
        QTest::newRow("url without value") << QStringList{"list", "--url"} << 2 << "--url needs";
        QTest::newRow("url not http") << QStringList{"list", "--url", "file:///etc"} << 2 << "--url needs";
        QTest::newRow("url twice") << QStringList{"list", "--url", "http://a", "--url", "http://b"} << 2 << "twice";
        QTest::newRow("unknown option") << QStringList{"list", "--fast"} << 2 << "unknown option '--fast'";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: rondix market";
        QTest::newRow("command help") << QStringList{"install", "-h"} << 0 << "Usage: rondix market";
    }

    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        const Result r = market(args);
        QCOMPARE(r.status, status);
        QVERIFY2((status == 0 ? r.out : r.err).contains(text), qPrintable(r.out + r.err));
    }
};

QTEST_GUILESS_MAIN(TestMarketCommand)
#include "tst_marketcommand.moc"
