// rondix-market serve under hostile input, over raw sockets on 127.0.0.1:
// every bad request gets its status and the {"error","message"} body, one
// access-log line each, and the server keeps serving afterwards.
#include "MarketTestServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTcpSocket>
#include <QTest>

namespace {

struct Reply
{
    int status = 0;
    QByteArray head, body;
};

// Reads one response (Content-Length framed) or until the server closes.
Reply readReply(QTcpSocket& socket, int timeoutMs)
{
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    qsizetype bodyStart = -1;
    qsizetype length = -1;
    while (timer.elapsed() < timeoutMs) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(100)) {
            if (socket.state() != QAbstractSocket::ConnectedState)
                break;
            continue;
        }
        data += socket.readAll();
        if (bodyStart < 0 && (bodyStart = data.indexOf("\r\n\r\n")) >= 0) {
            bodyStart += 4;
            const QByteArray head = data.left(bodyStart).toLower();
            const qsizetype at = head.indexOf("content-length:");
            if (at >= 0)
                length = head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
        }
        if (bodyStart >= 0 && length >= 0 && data.size() >= bodyStart + length)
            break;
    }
    Reply reply;
    if (bodyStart < 0)
        return reply;
    reply.head = data.left(bodyStart);
    reply.body = data.mid(bodyStart, length >= 0 ? length : -1);
    const QList<QByteArray> statusLine = reply.head.split(' ');
    reply.status = statusLine.size() > 1 ? statusLine[1].toInt() : 0;
    return reply;
}

QByteArray post(const QByteArray& path, const QByteArray& body)
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

class TestMarketServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<MarketTestServer> m_server;

    Reply exchange(const QByteArray& request, int timeoutMs = 5000)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_server->port()));
        if (!socket.waitForConnected(3000))
            return {};
        socket.write(request);
        socket.waitForBytesWritten(3000);
        return readReply(socket, timeoutMs);
    }

    // The server still answers a good request.
    void checkStillServing()
    {
        const Reply reply = exchange(post("/v1/market/catalog", "{}"));
        QCOMPARE(reply.status, 200);
        const QJsonArray items = QJsonDocument::fromJson(reply.body).object()["items"].toArray();
        QCOMPARE(items.size(), 1);
        QVERIFY(m_server->isRunning());
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<MarketTestServer>();
        QVERIFY(m_server->makeKeys());
        QVERIFY(m_server->sign(MarketTestServer::item("mail", "Mail", "org.example.Mail"),
                               R"({"id":"x","name":"Mail","slots":[],"isBuiltIn":false})"));
        // Files that are not signed packages are skipped, not served.
        QVERIFY(MarketTestServer::write(m_server->root() + "/broken.json", "{\"item\":"));
        QVERIFY(MarketTestServer::write(m_server->root() + "/noitem.json", R"({"package":"QQ","sig":"QQ"})"));
        QVERIFY(m_server->start({"--read-timeout", "1"}));
    }

    void cleanupTestCase() { m_server.reset(); }

    void badRequests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");

        QTest::newRow("malformed JSON") << post("/v1/market/catalog", "{\"items\":") << 400 << "bad_request";
        QTest::newRow("trailing bytes") << post("/v1/market/catalog", "{} {}") << 400 << "bad_request";
        QTest::newRow("array body") << post("/v1/market/catalog", "[]") << 400 << "bad_request";
        QTest::newRow("empty body") << post("/v1/market/catalog", "") << 400 << "bad_request";
        QTest::newRow("invalid UTF-8") << post("/v1/market/download", "{\"item_id\":\"\xff\"}") << 400
                                       << "bad_request";
        QTest::newRow("item_id missing") << post("/v1/market/download", "{}") << 400 << "bad_request";
        QTest::newRow("item_id a number") << post("/v1/market/download", R"({"item_id":7})") << 400 << "bad_request";
        QTest::newRow("unknown item") << post("/v1/market/download", R"({"item_id":"ghost"})") << 404 << "not_found";
        QTest::newRow("path of a file") << post("/v1/market/download", R"({"item_id":"../mail"})") << 404
                                        << "not_found";
        QTest::newRow("GET catalogue") << QByteArray("GET /v1/market/catalog HTTP/1.1\r\nHost: x\r\n\r\n") << 405
                                       << "method_not_allowed";
        QTest::newRow("DELETE download")
            << QByteArray("DELETE /v1/market/download HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n") << 405
            << "method_not_allowed";
        QTest::newRow("unknown path") << post("/v1/market/other", "{}") << 404 << "not_found";
        QTest::newRow("GET unknown path") << QByteArray("GET /etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n") << 404
                                          << "not_found";
        QTest::newRow("10 MB body") << post("/v1/market/catalog", QByteArray(10 * 1024 * 1024, ' ')) << 413
                                    << "payload_too_large";
        QTest::newRow("10 MB announced")
            << QByteArray("POST /v1/market/catalog HTTP/1.1\r\nHost: x\r\nContent-Length: 10485760\r\n\r\n{}")
            << 413 << "payload_too_large";
    }

    void badRequests()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QString, error);
        m_server->readLog();
        const Reply reply = exchange(request);
        QCOMPARE(reply.status, status);
        const QJsonObject body = QJsonDocument::fromJson(reply.body).object();
        QCOMPARE(body["error"].toString(), error);
        QVERIFY(!body["message"].toString().isEmpty());
        if (status == 405)
            QVERIFY(reply.head.contains("Allow: POST"));
        checkStillServing();
    }

    void clientStopsMidRequest()
    {
        // Announces a body and sends half of it, then nothing.
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_server->port()));
        QVERIFY(socket.waitForConnected(3000));
        socket.write("POST /v1/market/download HTTP/1.1\r\nHost: x\r\nContent-Length: 40\r\n\r\n{\"item_id\":");
        QVERIFY(socket.waitForBytesWritten(3000));
        QElapsedTimer timer;
        timer.start();
        const Reply reply = readReply(socket, 8000);
        QCOMPARE(reply.status, 400);
        QCOMPARE(QJsonDocument::fromJson(reply.body).object()["error"].toString(), QStringLiteral("bad_request"));
        QVERIFY2(timer.elapsed() < 6000, "the read timeout did not end the request");
        checkStillServing();
    }

    void clientStopsInHeaders()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_server->port()));
        QVERIFY(socket.waitForConnected(3000));
        socket.write("POST /v1/market/catalog HTTP/1.1\r\nHost:");
        QVERIFY(socket.waitForBytesWritten(3000));
        // The server gives up on it and closes the connection.
        QVERIFY(QTest::qWaitFor([&] {
            socket.waitForReadyRead(50);
            return socket.state() != QAbstractSocket::ConnectedState;
        }, 8000));
        checkStillServing();
    }

    void manyIdleConnections()
    {
        // Connections that never send anything do not starve good clients.
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < 40; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, quint16(m_server->port()));
        }
        for (auto& socket : idle)
            QVERIFY(socket->waitForConnected(3000));
        checkStillServing();
    }

    void burstOfClients()
    {
        // 64 clients connecting at once are all answered, none held back by a
        // full accept queue (a dropped SYN costs a one-second retransmission).
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 64; ++i) {
            clients.push_back(std::make_unique<QTcpSocket>());
            clients.back()->connectToHost(QHostAddress::LocalHost, quint16(m_server->port()));
        }
        int answered = 0;
        for (auto& socket : clients) {
            QVERIFY(socket->waitForConnected(3000));
            socket->write(post("/v1/market/catalog", "{}"));
        }
        for (auto& socket : clients)
            answered += readReply(*socket, 3000).status == 200;
        QCOMPARE(answered, 64);
        QVERIFY2(timer.elapsed() < 900, qPrintable(QString::number(timer.elapsed())));
    }

    void accessLog()
    {
        m_server->readLog();
        QCOMPARE(exchange(post("/v1/market/download", R"({"item_id":"mail"})")).status, 200);
        QCOMPARE(exchange(post("/v1/market/catalog", "[")).status, 400);
        QByteArray log;
        QVERIFY(QTest::qWaitFor([&] {
            log += m_server->readLog();
            return log.contains(" 400 ");
        }, 3000));
        // Lines of earlier requests may still have been in the pipe: look at the last two.
        QList<QByteArray> lines = log.trimmed().split('\n');
        QVERIFY(lines.size() >= 2);
        lines = lines.mid(lines.size() - 2);
        QVERIFY2(lines[0].contains(" 127.0.0.1 POST /v1/market/download 200 "), lines[0].constData());
        QVERIFY2(lines[1].contains(" 127.0.0.1 POST /v1/market/catalog 400 "), lines[1].constData());
    }

    void downloadServesSignedPackage()
    {
        const Reply reply = exchange(post("/v1/market/download", R"({"item_id":"mail"})"));
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.head.toLower().contains("content-type: application/json"));
        const QJsonObject body = QJsonDocument::fromJson(reply.body).object();
        QCOMPARE(body.keys(), (QStringList{"package", "sig"}));
        const QJsonObject onDisk = QJsonDocument::fromJson(MarketTestServer::read(m_server->packagePath("mail"))).object();
        QCOMPARE(body["package"], onDisk["package"]);
        QCOMPARE(body["sig"], onDisk["sig"]);
    }

    void toolRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("no command") << QStringList{} << 2;
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2;
        QTest::newRow("serve without root") << QStringList{"serve"} << 2;
        QTest::newRow("bad listen") << QStringList{"serve", "--root", "/tmp", "--listen", "nowhere"} << 2;
        QTest::newRow("bad port") << QStringList{"serve", "--root", "/tmp", "--listen", "127.0.0.1:99999"} << 2;
        QTest::newRow("missing root folder") << QStringList{"serve", "--root", "/nonexistent/market"} << 1;
        QTest::newRow("sign without ring") << QStringList{"sign", "--key", "k"} << 2;
        QTest::newRow("sign with missing key") << QStringList{"sign", "--key", "/nonexistent", "--ring", "r", "--item", "i"} << 1;
    }

    void toolRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QCOMPARE(MarketTestServer::run(args), status);
    }

    void keygenKeepsExistingKey()
    {
        // A second keygen into the same folder must not replace the signing key.
        const QByteArray before = MarketTestServer::read(m_server->signingKey());
        QCOMPARE(MarketTestServer::run({"keygen", "--out", m_server->path("keys")}), 1);
        QCOMPARE(MarketTestServer::read(m_server->signingKey()), before);
        QCOMPARE(QFile(m_server->signingKey()).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFileDevice::Permissions());
    }

    void signRefusesBadItems_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::newRow("id with a slash") << QByteArray(R"({"id":"../x","app_name":"A","bundle_id":"b","version":"1","summary":"s"})");
        QTest::newRow("id starting with a dot") << QByteArray(R"({"id":".x","app_name":"A","bundle_id":"b","version":"1","summary":"s"})");
        QTest::newRow("summary missing") << QByteArray(R"({"id":"x","app_name":"A","bundle_id":"b","version":"1"})");
        QTest::newRow("author a number") << QByteArray(R"({"id":"x","app_name":"A","bundle_id":"b","version":"1","summary":"s","author":1})");
        QTest::newRow("not JSON") << QByteArray("{");
    }

    void signRefusesBadItems()
    {
        QFETCH(QByteArray, item);
        const QString itemPath = m_server->path("bad.item.json");
        const QString ringPath = m_server->path("ring.rondix");
        QVERIFY(MarketTestServer::write(itemPath, item));
        QVERIFY(MarketTestServer::write(ringPath, R"({"slots":[]})"));
        const QString out = m_server->path("out");
        QCOMPARE(MarketTestServer::run({"sign", "--key", m_server->signingKey(), "--ring", ringPath, "--item",
                                        itemPath, "--out", out}),
                 1);
        QVERIFY(QDir(out).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMarketServer)
#include "tst_marketserver.moc"
