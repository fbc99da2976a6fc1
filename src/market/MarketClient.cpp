#include "market/MarketClient.h"

#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "market/MarketKey.h"
#include "model/AppProfileManager.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcMarket, "rondix.market", QtInfoMsg)

#ifndef RONDIX_MARKET_URL
#define RONDIX_MARKET_URL "http://127.0.0.1:8742"
#endif

const QString MarketClient::installedIdsKey = QStringLiteral("rx_market_installed");
const QString MarketClient::baseUrlKey = QStringLiteral("rx_market_base_url");

namespace {

constexpr int kTimeoutMs = 60 * 1000;

QSet<QString> readInstalledIds()
{
    const QStringList list = AppSettings::value(MarketClient::installedIdsKey).toStringList();
    return QSet<QString>(list.begin(), list.end());
}

} // namespace

MarketClient::MarketClient(AppProfileManager* store, const QUrl& baseUrl, const QByteArray& publicKey,
                           QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_baseUrl(baseUrl)
    , m_publicKey(publicKey)
    , m_network(new QNetworkAccessManager(this))
    , m_installedIds(readInstalledIds())
{
    qRegisterMetaType<MarketItem>();
}

MarketClient::~MarketClient() = default;

MarketClient& MarketClient::shared()
{
    static MarketClient* instance =
        new MarketClient(&AppProfileManager::shared(), configuredBaseUrl(), MarketKey::verifyingKey());
    return *instance;
}

QUrl MarketClient::configuredBaseUrl()
{
    const QString configured = AppSettings::value(baseUrlKey).toString().trimmed();
    return QUrl(configured.isEmpty() ? QStringLiteral(RONDIX_MARKET_URL) : configured);
}

QStringList MarketClient::installedIdList() const
{
    QStringList list(m_installedIds.begin(), m_installedIds.end());
    list.sort();
    return list;
}

void MarketClient::setMessage(const std::optional<QString>& message)
{
    if (m_message == message)
        return;
    m_message = message;
    Q_EMIT messageChanged();
}

void MarketClient::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void MarketClient::post(const QString& path, const QByteArray& body, Completion completion)
{
    QUrl url = m_baseUrl;
    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader("User-Agent", MarketProtocol::userAgent(QCoreApplication::applicationVersion()));
    request.setTransferTimeout(kTimeoutMs);

    QNetworkReply* reply = m_network->post(request, body);
    // A reply larger than any the market sends is cut off rather than buffered.
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received, qint64 total) {
        if (received > MarketProtocol::kMaxReplyBytes || total > MarketProtocol::kMaxReplyBytes) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, tooLarge, completion = std::move(completion)] {
        reply->deleteLater();
        if (*tooLarge) {
            completion(0, {}, MarketError::malformed());
            return;
        }
        const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!statusAttribute.isValid()) {
            // No HTTP response at all: refused, unreachable, timed out.
            completion(0, {}, MarketError::network(reply->errorString()));
            return;
        }
        const QByteArray bytes = reply->read(MarketProtocol::kMaxReplyBytes + 1);
        if (bytes.size() > MarketProtocol::kMaxReplyBytes) {
            completion(0, {}, MarketError::malformed());
            return;
        }
        const int status = statusAttribute.toInt();
        if (status < 200 || status > 299) {
            completion(status, bytes, MarketProtocol::errorForStatus(status, bytes));
            return;
        }
        if (reply->error() != QNetworkReply::NoError) {
            // A status line arrived but the body broke off.
            completion(status, {}, MarketError::network(reply->errorString()));
            return;
        }
        completion(status, bytes, std::nullopt);
    });
}

void MarketClient::loadCatalog(std::function<void(bool)> done)
{
    ++m_catalogRequests;
    setLoading(true);
    post(MarketProtocol::catalogPath(), MarketProtocol::catalogRequestBody(),
         [this, done](int, const QByteArray& body, const std::optional<MarketError>& transport) {
             bool ok = false;
             if (transport) {
                 setMessage(transport->text());
             } else {
                 MarketProtocol::Result<QList<MarketItem>> parsed = MarketProtocol::parseCatalog(body);
                 if (const MarketError* error = std::get_if<MarketError>(&parsed)) {
                     setMessage(error->text());
                 } else {
                     ok = true;
                     QList<MarketItem> items = std::move(std::get<QList<MarketItem>>(parsed));
                     const bool changed = items != m_items;
                     m_items = std::move(items);
                     if (changed)
                         Q_EMIT itemsChanged();
                     setMessage(m_items.isEmpty() ? std::optional<QString>(L10n::string(
                                                        QStringLiteral("market.empty"),
                                                        QStringLiteral("市场暂无内容，敬请期待")))
                                                  : std::nullopt);
                 }
             }
             if (--m_catalogRequests == 0)
                 setLoading(false);
             if (done)
                 done(ok);
             Q_EMIT catalogFinished(ok);
         });
}

void MarketClient::install(const MarketItem& item, std::function<void(bool)> done)
{
    post(MarketProtocol::downloadPath(), MarketProtocol::downloadRequestBody(item.id),
         [this, item, done](int, const QByteArray& body, const std::optional<MarketError>& transport) {
             const auto finish = [&](bool ok) {
                 if (done)
                     done(ok);
                 Q_EMIT installFinished(item.id, ok);
             };
             if (transport) {
                 setMessage(transport->text());
                 return finish(false);
             }
             MarketProtocol::Result<MarketDownload> download = MarketProtocol::parseDownload(body);
             if (const MarketError* error = std::get_if<MarketError>(&download)) {
                 setMessage(error->text());
                 return finish(false);
             }
             MarketProtocol::Result<RingProfile> ring =
                 MarketProtocol::ringToInstall(std::get<MarketDownload>(download), item, m_publicKey);
             if (const MarketError* error = std::get_if<MarketError>(&ring)) {
                 qCDebug(lcMarket) << "refused package for" << item.id << ":" << error->text();
                 setMessage(error->text());
                 return finish(false);
             }
             // A store that could not write the ring has not installed it.
             if (!m_store || !m_store->importProfile(std::get<RingProfile>(ring))) {
                 setMessage(L10n::format(QStringLiteral("market.err.save"), std::nullopt,
                                         {m_store ? m_store->saveFilePath() : QString()}));
                 return finish(false);
             }
             m_installedIds.insert(item.id);
             AppSettings::setValue(installedIdsKey, installedIdList());
             Q_EMIT installedIdsChanged();
             setMessage(L10n::format(QStringLiteral("market.installed"), std::nullopt, {item.appName}));
             finish(true);
         });
}

void MarketClient::installById(const QString& itemId, std::function<void(bool)> done)
{
    loadCatalog([this, itemId, done](bool ok) {
        if (!ok) {
            if (done)
                done(false);
            return;
        }
        for (const MarketItem& item : std::as_const(m_items)) {
            if (item.id == itemId) {
                install(item, done);
                return;
            }
        }
        setMessage(L10n::format(QStringLiteral("market.err.no_item"), std::nullopt, {itemId}));
        if (done)
            done(false);
    });
}

void MarketClient::reloadInstalledIds()
{
    const QSet<QString> ids = readInstalledIds();
    if (ids == m_installedIds)
        return;
    m_installedIds = ids;
    Q_EMIT installedIdsChanged();
}
