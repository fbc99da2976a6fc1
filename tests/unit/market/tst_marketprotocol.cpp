// The market protocol on bytes: catalogue and error bodies, Base64 as the
// service sends it, and the checks between a download and the ring store.
#include "l10n/L10n.h"
#include "market/MarketProtocol.h"
#include "model/ModelJson.h"

#include <QTest>
#include <sodium.h>

namespace {

struct Keys
{
    QByteArray publicKey, secretKey;
};

Keys makeKeys()
{
    Keys keys{QByteArray(crypto_sign_PUBLICKEYBYTES, '\0'), QByteArray(crypto_sign_SECRETKEYBYTES, '\0')};
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(keys.publicKey.data()),
                        reinterpret_cast<unsigned char*>(keys.secretKey.data()));
    return keys;
}

QByteArray signBytes(const QByteArray& message, const QByteArray& secretKey)
{
    QByteArray sig(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(sig.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(message.constData()), quint64(message.size()),
                         reinterpret_cast<const unsigned char*>(secretKey.constData()));
    return sig;
}

RingProfile ring(const std::optional<QString>& bundleId)
{
    QList<ActionSlot> slots;
    for (int i = 0; i < 8; ++i)
        slots << ActionSlot::empty(i);
    slots[0].action = ActionType::shortcut(QStringLiteral("T"), 17, KeyModifiers{.control = true});
    slots[0].title = QStringLiteral("New Tab");
    slots[0].isEnabled = true;
    return RingProfile(QUuid::createUuid(), QStringLiteral("Browser"), bundleId, std::nullopt, slots, false);
}

QByteArray packageBytes(const QString& itemId, const RingProfile& profile)
{
    ModelJson::Json json = ModelJson::Json::object();
    json["item_id"] = itemId.toStdString();
    json["version"] = "2.1";
    json["profile"] = ModelJson::toJson(profile);
    return ModelJson::serialize(json, JsonLayout::Compact);
}

MarketItem browserItem()
{
    return MarketItem{QStringLiteral("browser"), QStringLiteral("Browser"), QStringLiteral("org.example.Browser"),
                      QStringLiteral("2.1"), QStringLiteral("Tabs"), std::nullopt};
}

QByteArray flipped(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(bytes[at] ^ 0x01);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(MarketError::Kind)

class TestMarketProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(sodium_init() >= 0);
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));
    }

    void catalog_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("ids"); // empty with an error: refused
        QTest::addColumn<QString>("error");

        const QByteArray a = R"({"id":"a","app_name":"A","bundle_id":"org.a","version":"1","summary":"s"})";
        const QByteArray b = R"({"id":"b","app_name":"B","bundle_id":"org.b","version":"1","summary":"s","author":null})";
        const QByteArray c = R"({"id":"c","app_name":"C","bundle_id":"org.c","version":"1","summary":"s","author":"Ana"})";
        QTest::newRow("server order kept") << QByteArray("{\"items\":[" + c + "," + a + "," + b + "]}")
                                           << QStringList{"c", "a", "b"} << QString();
        QTest::newRow("empty list") << QByteArray(R"({"items":[]})") << QStringList{} << QString();
        QTest::newRow("extra members ignored")
            << QByteArray("{\"next\":1,\"items\":[" + a + "]}") << QStringList{"a"} << QString();
        QTest::newRow("entry without bundle_id fails the whole catalogue")
            << QByteArray(R"({"items":[)" + a + R"(,{"id":"x","app_name":"X","version":"1","summary":"s"}]})")
            << QStringList{} << "items[1].bundle_id: missing";
        QTest::newRow("author of the wrong type")
            << QByteArray(R"({"items":[{"id":"x","app_name":"X","bundle_id":"b","version":"1","summary":"s","author":3}]})")
            << QStringList{} << "items[0].author: not a string";
        QTest::newRow("version as a number")
            << QByteArray(R"({"items":[{"id":"x","app_name":"X","bundle_id":"b","version":1,"summary":"s"}]})")
            << QStringList{} << "items[0].version: not a string";
        QTest::newRow("no items member") << QByteArray(R"({"item":[]})") << QStringList{} << "no \"items\"";
        QTest::newRow("items not a list") << QByteArray(R"({"items":{}})") << QStringList{} << "not a list";
        QTest::newRow("not JSON") << QByteArray("<html>hi</html>") << QStringList{} << "not valid JSON";
        QTest::newRow("trailing garbage") << QByteArray(R"({"items":[]} x)") << QStringList{} << "not valid JSON";
        QTest::newRow("array root") << QByteArray("[]") << QStringList{} << "not a JSON object";
        QTest::newRow("larger than any reply")
            << QByteArray("{\"items\":[],\"pad\":\"" + QByteArray(MarketProtocol::kMaxReplyBytes, 'x') + "\"}")
            << QStringList{} << "The ring file is malformed.";
    }

    void catalog()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, ids);
        QFETCH(QString, error);
        const auto result = MarketProtocol::parseCatalog(body);
        if (!error.isEmpty()) {
            QVERIFY(std::holds_alternative<MarketError>(result));
            QVERIFY2(std::get<MarketError>(result).text().contains(error),
                     qPrintable(std::get<MarketError>(result).text()));
            return;
        }
        QVERIFY(std::holds_alternative<QList<MarketItem>>(result));
        QStringList got;
        for (const MarketItem& item : std::get<QList<MarketItem>>(result))
            got << item.id;
        QCOMPARE(got, ids);
    }

    void catalogAuthor()
    {
        const auto result = MarketProtocol::parseCatalog(
            R"({"items":[{"id":"a","app_name":"A","bundle_id":"org.a","version":"1","summary":"s"},
                         {"id":"b","app_name":"B","bundle_id":"org.b","version":"1","summary":"s","author":null},
                         {"id":"c","app_name":"C","bundle_id":"org.c","version":"3.2","summary":"Sum","author":"Ana"}]})");
        const QList<MarketItem> items = std::get<QList<MarketItem>>(result);
        QCOMPARE(items[0].author, std::nullopt);
        QCOMPARE(items[1].author, std::nullopt);
        QCOMPARE(items[2], (MarketItem{"c", "C", "org.c", "3.2", "Sum", QString("Ana")}));
    }

    void errorStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("500 with message") << 500 << QByteArray(R"({"error":"internal","message":"Disk on fire"})")
                                          << "internal" << "Disk on fire";
        QTest::newRow("503 without message") << 503 << QByteArray(R"({"error":"busy"})") << "busy" << "HTTP 503";
        QTest::newRow("message null") << 404 << QByteArray(R"({"error":"not_found","message":null})")
                                      << "not_found" << "HTTP 404";
        QTest::newRow("502 HTML") << 502 << QByteArray("<html><body>Bad Gateway</body></html>") << "http_502"
                                  << "HTTP 502";
        QTest::newRow("empty body") << 500 << QByteArray() << "http_500" << "HTTP 500";
        QTest::newRow("error not a string") << 400 << QByteArray(R"({"error":4,"message":"m"})") << "http_400"
                                            << "HTTP 400";
        QTest::newRow("message not a string") << 400 << QByteArray(R"({"error":"e","message":["m"]})")
                                              << "http_400" << "HTTP 400";
        QTest::newRow("JSON array") << 418 << QByteArray("[]") << "http_418" << "HTTP 418";
    }

    void errorStatus()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, code);
        QFETCH(QString, text);
        const MarketError error = MarketProtocol::errorForStatus(status, body);
        QCOMPARE(error.kind, MarketError::Kind::Server);
        QCOMPARE(error.code, code);
        QCOMPARE(error.text(), text);
    }

    void base64_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("bytes"); // null: refused
        const QByteArray raw("\xfb\xff\xfe\x00\x01ring?", 10);
        QTest::newRow("url-safe without padding") << raw.toBase64(QByteArray::Base64UrlEncoding |
                                                                   QByteArray::OmitTrailingEquals)
                                                  << raw;
        QTest::newRow("url-safe with padding") << raw.toBase64(QByteArray::Base64UrlEncoding) << raw;
        QTest::newRow("standard alphabet") << raw.toBase64() << raw;
        QTest::newRow("one byte, no padding") << QByteArray("QQ") << QByteArray("A");
        QTest::newRow("empty") << QByteArray("") << QByteArray("");
        QTest::newRow("stray character") << QByteArray("QQ*Q") << QByteArray();
        QTest::newRow("impossible length") << QByteArray("QUJDR") << QByteArray();
        QTest::newRow("line break inside") << QByteArray("QUJD\nRA") << QByteArray();
    }

    void base64()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, bytes);
        const std::optional<QByteArray> decoded = MarketProtocol::decodeBase64Url(text);
        if (bytes.isNull()) {
            QVERIFY(!decoded);
            return;
        }
        QVERIFY(decoded);
        QCOMPARE(*decoded, bytes);
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<MarketError::Kind>("kind");
        QTest::newRow("package not Base64") << QByteArray(R"({"package":"a$b","sig":"QQ"})")
                                            << MarketError::Kind::Malformed;
        QTest::newRow("sig not Base64") << QByteArray(R"({"package":"QQ","sig":"Q Q"})")
                                        << MarketError::Kind::Malformed;
        QTest::newRow("non-ASCII package") << QByteArray(R"({"package":"QQé","sig":"QQ"})")
                                           << MarketError::Kind::Malformed;
        QTest::newRow("sig missing") << QByteArray(R"({"package":"QQ"})") << MarketError::Kind::Decoding;
        QTest::newRow("package a number") << QByteArray(R"({"package":1,"sig":"QQ"})")
                                          << MarketError::Kind::Decoding;
        QTest::newRow("not JSON") << QByteArray("nope") << MarketError::Kind::Decoding;
    }

    void download()
    {
        QFETCH(QByteArray, body);
        QFETCH(MarketError::Kind, kind);
        const auto result = MarketProtocol::parseDownload(body);
        QVERIFY(std::holds_alternative<MarketError>(result));
        QCOMPARE(std::get<MarketError>(result).kind, kind);
    }

    void install_data()
    {
        QTest::addColumn<QByteArray>("package");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<bool>("signedByMarket");
        QTest::addColumn<int>("outcome"); // -1 ok, else MarketError::Kind
        QTest::addColumn<QString>("bundleId");

        const Keys market = makeKeys();
        m_marketKey = market.publicKey;
        const Keys other = makeKeys();
        const QByteArray good = packageBytes("browser", ring(std::nullopt));
        const QByteArray sig = signBytes(good, market.secretKey);
        const int ok = -1;
        const int badSignature = int(MarketError::Kind::BadSignature);

        QTest::newRow("ring without bundle id takes the item's") << good << sig << true << ok << "org.example.Browser";
        const QByteArray ownBundle = packageBytes("browser", ring(QString("org.other.App")));
        QTest::newRow("ring with its own bundle id keeps it")
            << ownBundle << signBytes(ownBundle, market.secretKey) << true << ok << "org.other.App";
        const QByteArray emptyBundle = packageBytes("browser", ring(QString("")));
        QTest::newRow("empty bundle id takes the item's")
            << emptyBundle << signBytes(emptyBundle, market.secretKey) << true << ok << "org.example.Browser";
        for (qsizetype at : {qsizetype(0), good.size() / 2, good.size() - 1})
            QTest::addRow("package byte %lld changed", qlonglong(at)) << flipped(good, at) << sig << true
                                                                       << badSignature << QString();
        for (qsizetype at : {qsizetype(0), qsizetype(31), qsizetype(63)})
            QTest::addRow("signature byte %lld changed", qlonglong(at)) << good << flipped(sig, at) << true
                                                                         << badSignature << QString();
        QTest::newRow("signed by another key") << good << signBytes(good, other.secretKey) << true << badSignature
                                               << QString();
        QTest::newRow("signature too short") << good << sig.left(63) << true << badSignature << QString();
        QTest::newRow("signature empty") << good << QByteArray() << true << badSignature << QString();
        QTest::newRow("byte appended to package") << good + ' ' << sig << true << badSignature << QString();
        const QByteArray otherItem = packageBytes("mail", ring(std::nullopt));
        QTest::newRow("package for another item")
            << otherItem << signBytes(otherItem, market.secretKey) << true << int(MarketError::Kind::ItemMismatch)
            << QString();
        const QByteArray noSlots = R"({"item_id":"browser","version":"1","profile":{"id":"x"}})";
        QTest::newRow("signed but not a ring") << noSlots << signBytes(noSlots, market.secretKey) << true
                                               << int(MarketError::Kind::Decoding) << QString();
        const QByteArray notJson = "hello";
        QTest::newRow("signed but not JSON") << notJson << signBytes(notJson, market.secretKey) << true
                                             << int(MarketError::Kind::Decoding) << QString();
    }

    void install()
    {
        QFETCH(QByteArray, package);
        QFETCH(QByteArray, signature);
        QFETCH(int, outcome);
        QFETCH(QString, bundleId);
        const auto result = MarketProtocol::ringToInstall({package, signature}, browserItem(), m_marketKey);
        if (outcome >= 0) {
            QVERIFY(std::holds_alternative<MarketError>(result));
            QCOMPARE(int(std::get<MarketError>(result).kind), outcome);
            return;
        }
        if (const MarketError* error = std::get_if<MarketError>(&result))
            QFAIL(qPrintable(error->text()));
        const RingProfile installed = std::get<RingProfile>(result);
        QCOMPARE(installed.bundleIdentifier, std::optional<QString>(bundleId));
        QCOMPARE(installed.slots.size(), 8);
        QCOMPARE(installed.slots[0].title, QStringLiteral("New Tab"));
    }

    void keyOfWrongLength()
    {
        const Keys market = makeKeys();
        const QByteArray good = packageBytes("browser", ring(std::nullopt));
        const QByteArray sig = signBytes(good, market.secretKey);
        QVERIFY(MarketProtocol::verifySignature(good, sig, market.publicKey));
        QVERIFY(!MarketProtocol::verifySignature(good, sig, market.publicKey.left(31)));
        QVERIFY(!MarketProtocol::verifySignature(good, sig, QByteArray(32, '\0')));
    }

    void errorTexts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("signature") << int(MarketError::Kind::BadSignature)
                                   << "The ring's signature could not be verified; it was not imported.";
        QTest::newRow("malformed") << int(MarketError::Kind::Malformed) << "The ring file is malformed.";
        QTest::newRow("network") << int(MarketError::Kind::Network) << "Network error: Connection refused";
    }

    void errorTexts()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QCOMPARE((MarketError{MarketError::Kind(kind), QStringLiteral("Connection refused"), {}}.text()), text);
    }

    void userAgent()
    {
        QCOMPARE(MarketProtocol::userAgent(QString()), QByteArray("RondixDirect/0"));
        QCOMPARE(MarketProtocol::userAgent(QStringLiteral("0.1.0")), QByteArray("RondixDirect/0.1.0"));
        QCOMPARE(MarketProtocol::downloadRequestBody(QStringLiteral("a\"b")), QByteArray("{\"item_id\":\"a\\\"b\"}"));
    }

private:
    QByteArray m_marketKey;
};

QTEST_GUILESS_MAIN(TestMarketProtocol)
#include "tst_marketprotocol.moc"
