// The market client against a real `rondix-market serve` on 127.0.0.1: the
// catalogue, installs into a real ring store, tampered and foreign packages,
// server errors and a refused connection. A tiny stand-in server covers replies
// the real one never sends (500 with a body, 502 from a proxy, a huge reply).
#include "MarketTestServer.h"

#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "market/MarketClient.h"
#include "model/AppProfileManager.h"
#include "model/ModelJson.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// Answers every connection with one canned HTTP response.
class StandInServer : public QTcpServer
{
public:
    explicit StandInServer(QByteArray response)
        : m_response(std::move(response))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    socket->write(m_response);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        listen(QHostAddress::LocalHost, 0);
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort())); }

private:
    QByteArray m_response;
};

QByteArray httpResponse(int status, const QByteArray& reason, const QByteArray& type, const QByteArray& body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

class TestMarketClient : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<MarketTestServer> m_server;
    std::unique_ptr<AppProfileManager> m_store;

    std::unique_ptr<MarketClient> client(const QUrl& url)
    {
        return std::make_unique<MarketClient>(m_store.get(), url, m_server->publicKey());
    }

    static bool loadCatalog(MarketClient& market)
    {
        bool done = false, ok = false;
        market.loadCatalog([&](bool result) {
            done = true;
            ok = result;
        });
        return QTest::qWaitFor([&] { return done; }, 15000) && ok;
    }

    static std::optional<bool> install(MarketClient& market, const MarketItem& item)
    {
        std::optional<bool> result;
        market.install(item, [&](bool ok) { result = ok; });
        (void)QTest::qWaitFor([&] { return result.has_value(); }, 15000);
        return result;
    }

    QList<RingProfile> ringsFor(const QString& bundleId) const
    {
        QList<RingProfile> found;
        for (const RingProfile& ring : m_store->profiles())
            if (ring.bundleIdentifier == bundleId)
                found << ring;
        return found;
    }

    QByteArray storeFile() const { return MarketTestServer::read(m_store->saveFilePath()); }

private Q_SLOTS:
    void initTestCase() { L10n::shared().setCurrentLanguage(QStringLiteral("en")); }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_home->filePath("config").toUtf8());
        m_store = std::make_unique<AppProfileManager>(m_home->filePath("data"));
        m_server = std::make_unique<MarketTestServer>();
        QVERIFY(m_server->makeKeys());
        QVERIFY(m_server->signRing("mail", "Mail", "Compose"));
        QVERIFY(m_server->signRing("browser", "Browser", "New Tab"));
        QVERIFY(m_server->signRing("editor", "Editor", "Save"));
    }

    void cleanup()
    {
        m_server.reset();
        m_store.reset();
        m_home.reset();
    }

    void catalogInServerOrder()
    {
        QVERIFY(m_server->start());
        auto market = client(m_server->url());
        QSignalSpy loading(market.get(), &MarketClient::isLoadingChanged);
        QVERIFY(loadCatalog(*market));
        QStringList ids;
        for (const MarketItem& item : market->items())
            ids << item.id;
        // The server lists its files in name order.
        QCOMPARE(ids, (QStringList{"browser", "editor", "mail"}));
        QCOMPARE(market->items().at(2).appName, QStringLiteral("Mail"));
        QCOMPARE(market->items().at(2).author, std::optional<QString>(QStringLiteral("Tests")));
        QCOMPARE(market->message(), std::nullopt);
        QCOMPARE(loading.count(), 2);
        QVERIFY(!market->isLoading());
    }

    void reloadOnHangup()
    {
        QVERIFY(m_server->start());
        auto market = client(m_server->url());
        QVERIFY(loadCatalog(*market));
        QCOMPARE(market->items().size(), 3);
        QVERIFY(m_server->signRing("aaa", "Atlas", "Go"));
        QVERIFY(m_server->reload());
        QVERIFY(QTest::qWaitFor([&] { return loadCatalog(*market) && market->items().size() == 4; }, 5000));
        QCOMPARE(market->items().first().id, QStringLiteral("aaa"));
    }

    void installAndReinstall()
    {
        QVERIFY(m_server->start());
        auto market = client(m_server->url());
        QVERIFY(loadCatalog(*market));
        const MarketItem mail = market->items().at(2);
        QSignalSpy installed(market.get(), &MarketClient::installedIdsChanged);

        QCOMPARE(install(*market, mail), std::optional<bool>(true));
        QList<RingProfile> rings = ringsFor("org.example.Mail");
        QCOMPARE(rings.size(), 1);
        QCOMPARE(rings[0].slots[0].title, QStringLiteral("Compose"));
        QCOMPARE(m_store->selectedProfileId(), std::optional<QUuid>(rings[0].id));
        QCOMPARE(market->message(), std::optional<QString>("Imported the ring for Mail."));
        QVERIFY(market->installedIds().contains("mail"));
        QCOMPARE(AppSettings::value(MarketClient::installedIdsKey).toStringList(), QStringList{"mail"});
        QCOMPARE(installed.count(), 1);
        // On disk, not only in memory.
        const auto stored = decodeRingProfiles(storeFile());
        QVERIFY(stored);
        QCOMPARE(std::count_if(stored->begin(), stored->end(),
                               [](const RingProfile& r) { return r.bundleIdentifier == "org.example.Mail"; }),
                 1);

        // A new version of the package: one ring still, same id, the new slots.
        const QUuid firstId = rings[0].id;
        QVERIFY(m_server->sign(MarketTestServer::item("mail", "Mail", "org.example.Mail", "2.0"),
                               MarketTestServer::ringJson("Mail 2", "Reply")));
        QVERIFY(m_server->reload());
        QTest::qWait(300);
        QCOMPARE(install(*market, mail), std::optional<bool>(true));
        rings = ringsFor("org.example.Mail");
        QCOMPARE(rings.size(), 1);
        QCOMPARE(rings[0].id, firstId);
        QCOMPARE(rings[0].slots[0].title, QStringLiteral("Reply"));
        QCOMPARE(rings[0].name, QStringLiteral("Mail 2"));
        QCOMPARE(AppSettings::value(MarketClient::installedIdsKey).toStringList(), QStringList{"mail"});

        // A new client reads the installed set back.
        auto later = client(m_server->url());
        QCOMPARE(later->installedIds(), QSet<QString>{"mail"});
    }

    void refusedPackages_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text");
        const QString signature = "The ring's signature could not be verified; it was not imported.";
        QTest::newRow("package byte changed") << "package" << signature;
        QTest::newRow("signature byte changed") << "sig" << signature;
        QTest::newRow("signed by another key") << "other key" << signature;
        QTest::newRow("package of another item") << "other item"
                                                 << "The downloaded ring is not the one that was requested; it "
                                                    "was not imported.";
        QTest::newRow("package not Base64") << "not base64" << "The ring file is malformed.";
    }

    void refusedPackages()
    {
        QFETCH(QString, fault);
        QFETCH(QString, text);
        const QString path = m_server->packagePath("mail");
        if (fault == "package" || fault == "sig") {
            QVERIFY(m_server->tamper("mail", fault));
        } else if (fault == "other key") {
            QVERIFY(m_server->makeKeys("other"));
            QVERIFY(m_server->signRing("mail", "Mail", "Compose", "other"));
        }
        QJsonObject doc = QJsonDocument::fromJson(MarketTestServer::read(path)).object();
        if (fault == "other item") {
            // The browser's genuine package, served under the mail item.
            const QJsonObject browser =
                QJsonDocument::fromJson(MarketTestServer::read(m_server->packagePath("browser"))).object();
            doc["package"] = browser["package"];
            doc["sig"] = browser["sig"];
        } else if (fault == "not base64") {
            doc["package"] = QStringLiteral("not*base64");
        }
        QVERIFY(MarketTestServer::write(path, QJsonDocument(doc).toJson()));
        QVERIFY(m_server->start());

        auto market = client(m_server->url());
        QVERIFY(loadCatalog(*market));
        const QByteArray storeBefore = storeFile();
        const QList<RingProfile> ringsBefore = m_store->profiles();
        QCOMPARE(install(*market, market->items().at(2)), std::optional<bool>(false));
        QCOMPARE(market->message(), std::optional<QString>(text));
        QCOMPARE(m_store->profiles(), ringsBefore);
        QCOMPARE(storeFile(), storeBefore);
        QVERIFY(market->installedIds().isEmpty());
        QVERIFY(!AppSettings::contains(MarketClient::installedIdsKey));
    }

    void unknownItem()
    {
        QVERIFY(m_server->start());
        auto market = client(m_server->url());
        const MarketItem ghost{"ghost", "Ghost", "org.example.Ghost", "1", "s", std::nullopt};
        QCOMPARE(install(*market, ghost), std::optional<bool>(false));
        QCOMPARE(market->message(), std::optional<QString>("No item with the id \"ghost\" is in the market."));
    }

    void standInReplies_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("text");
        QTest::newRow("500 with an error body")
            << httpResponse(500, "Internal Server Error", "application/json",
                            R"({"error":"internal","message":"The catalogue is being rebuilt."})")
            << "The catalogue is being rebuilt.";
        QTest::newRow("502 from a proxy")
            << httpResponse(502, "Bad Gateway", "text/html", "<html><body><h1>502 Bad Gateway</h1></body></html>")
            << "HTTP 502";
        QTest::newRow("503 without message")
            << httpResponse(503, "Service Unavailable", "application/json", R"({"error":"busy"})") << "HTTP 503";
        QTest::newRow("200 with HTML") << httpResponse(200, "OK", "text/html", "<html></html>")
                                       << "The catalogue is not valid JSON";
        QTest::newRow("reply larger than any catalogue")
            << httpResponse(200, "OK", "application/json",
                            "{\"items\":[],\"x\":\"" + QByteArray(5 * 1024 * 1024, 'x') + "\"}")
            << "The ring file is malformed.";
    }

    void standInReplies()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, text);
        StandInServer standIn(response);
        QVERIFY(standIn.isListening());
        auto market = client(standIn.url());
        QVERIFY(!loadCatalog(*market));
        QVERIFY2(market->message().value_or(QString()).startsWith(text), qPrintable(market->messageText()));
        QVERIFY(market->items().isEmpty());
        QVERIFY(!market->isLoading());

        const MarketItem mail{"mail", "Mail", "org.example.Mail", "1", "s", std::nullopt};
        const QList<RingProfile> before = m_store->profiles();
        QCOMPARE(install(*market, mail), std::optional<bool>(false));
        QCOMPARE(m_store->profiles(), before);
    }

    void connectionRefused()
    {
        // A port that was just free and nobody listens on.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        auto market = client(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
        QVERIFY(!loadCatalog(*market));
        QCOMPARE(market->messageText(), L10n::format("market.err.network", std::nullopt, {"Connection refused"}));
        const MarketItem mail{"mail", "Mail", "org.example.Mail", "1", "s", std::nullopt};
        QCOMPARE(install(*market, mail), std::optional<bool>(false));
        QVERIFY(market->messageText().startsWith("Network error: "));
    }

    void requestHeaders()
    {
        // What goes on the wire, read by a listener that answers nothing useful.
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        QByteArray request;
        connect(&listener, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* socket = listener.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
                request += socket->readAll();
                if (request.contains("\r\n\r\n") && request.endsWith("}")) {
                    socket->write(httpResponse(404, "Not Found", "application/json", R"({"error":"x"})"));
                    socket->disconnectFromHost();
                }
            });
        });
        QCoreApplication::setApplicationVersion(QStringLiteral("3.4.5"));
        auto market = client(QUrl(QStringLiteral("http://127.0.0.1:%1/base/").arg(listener.serverPort())));
        const MarketItem mail{"mail", "Mail", "org.example.Mail", "1", "s", std::nullopt};
        QCOMPARE(install(*market, mail), std::optional<bool>(false));
        QVERIFY2(request.startsWith("POST /base/v1/market/download HTTP/1.1\r\n"), request.constData());
        QVERIFY(request.contains("\r\nContent-Type: application/json\r\n"));
        QVERIFY(request.contains("\r\nUser-Agent: RondixDirect/3.4.5\r\n"));
        QVERIFY(request.endsWith("\r\n\r\n{\"item_id\":\"mail\"}"));
        QCOMPARE(market->messageText(), QStringLiteral("HTTP 404"));
    }
};

QTEST_GUILESS_MAIN(TestMarketClient)
#include "tst_marketclient.moc"
