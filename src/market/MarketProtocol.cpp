#include "market/MarketProtocol.h"

#include "l10n/L10n.h"
#include "model/ModelJson.h"

#include <sodium.h>

using ModelJson::Json;

QString MarketError::text() const
{
    switch (kind) {
    case Kind::Server:
    case Kind::Decoding:
        return payload;
    case Kind::Network:
        return L10n::format(QStringLiteral("market.err.network"), std::nullopt, {payload});
    case Kind::BadSignature:
        return L10n::string(QStringLiteral("market.err.signature"),
                            QStringLiteral("配置文件签名校验失败，已拒绝导入"));
    case Kind::Malformed:
        return L10n::string(QStringLiteral("market.err.malformed"), QStringLiteral("配置文件格式错误"));
    case Kind::ItemMismatch:
        return L10n::string(QStringLiteral("market.err.item_mismatch"),
                            QStringLiteral("下载的配置文件与所选项目不符，已拒绝导入"));
    }
    return payload;
}

namespace MarketProtocol {

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// A required string member; sets *error naming the place otherwise.
std::optional<QString> stringMember(const Json& object, const char* name, const QString& place, QString* error)
{
    const auto it = object.find(name);
    if (it == object.end()) {
        *error = QStringLiteral("%1.%2: missing").arg(place, QLatin1String(name));
        return std::nullopt;
    }
    if (!it->is_string()) {
        *error = QStringLiteral("%1.%2: not a string").arg(place, QLatin1String(name));
        return std::nullopt;
    }
    return qs(it->get<std::string>());
}

std::optional<Json> parseObject(const QByteArray& body, const QString& what, QString* error)
{
    QString parseError;
    std::optional<Json> json = ModelJson::parse(body, &parseError);
    if (!json) {
        *error = QStringLiteral("%1 is not valid JSON: %2").arg(what, parseError);
        return std::nullopt;
    }
    if (!json->is_object()) {
        *error = QStringLiteral("%1 is not a JSON object").arg(what);
        return std::nullopt;
    }
    return json;
}

} // namespace

QString catalogPath()
{
    return QStringLiteral("/v1/market/catalog");
}

QString downloadPath()
{
    return QStringLiteral("/v1/market/download");
}

QByteArray catalogRequestBody()
{
    return QByteArrayLiteral("{}");
}

QByteArray downloadRequestBody(const QString& itemId)
{
    Json body = Json::object();
    body["item_id"] = itemId.toStdString();
    return ModelJson::serialize(body, JsonLayout::Compact);
}

QByteArray userAgent(const QString& applicationVersion)
{
    const QString version = applicationVersion.isEmpty() ? QStringLiteral("0") : applicationVersion;
    return "RondixDirect/" + version.toUtf8();
}

Result<QList<MarketItem>> parseCatalog(const QByteArray& body)
{
    if (body.size() > kMaxReplyBytes)
        return MarketError::malformed();
    QString error;
    const std::optional<Json> json = parseObject(body, QStringLiteral("The catalogue"), &error);
    if (!json)
        return MarketError::decoding(error);
    const auto items = json->find("items");
    if (items == json->end())
        return MarketError::decoding(QStringLiteral("The catalogue has no \"items\""));
    if (!items->is_array())
        return MarketError::decoding(QStringLiteral("The catalogue's \"items\" is not a list"));

    QList<MarketItem> result;
    result.reserve(qsizetype(items->size()));
    for (size_t i = 0; i < items->size(); ++i) {
        const Json& entry = (*items)[i];
        const QString place = QStringLiteral("items[%1]").arg(i);
        if (!entry.is_object())
            return MarketError::decoding(QStringLiteral("%1: not an object").arg(place));
        MarketItem item;
        const auto id = stringMember(entry, "id", place, &error);
        const auto appName = id ? stringMember(entry, "app_name", place, &error) : std::nullopt;
        const auto bundleId = appName ? stringMember(entry, "bundle_id", place, &error) : std::nullopt;
        const auto version = bundleId ? stringMember(entry, "version", place, &error) : std::nullopt;
        const auto summary = version ? stringMember(entry, "summary", place, &error) : std::nullopt;
        if (!summary)
            return MarketError::decoding(error);
        item.id = *id;
        item.appName = *appName;
        item.bundleId = *bundleId;
        item.version = *version;
        item.summary = *summary;
        const auto author = entry.find("author");
        if (author != entry.end() && !author->is_null()) {
            if (!author->is_string())
                return MarketError::decoding(QStringLiteral("%1.author: not a string").arg(place));
            item.author = qs(author->get<std::string>());
        }
        result.append(item);
    }
    return result;
}

MarketError errorForStatus(int status, const QByteArray& body)
{
    const QString httpText = QStringLiteral("HTTP %1").arg(status);
    const std::optional<Json> json = body.size() > kMaxReplyBytes ? std::nullopt : ModelJson::parse(body);
    if (json && json->is_object()) {
        const auto code = json->find("error");
        const auto message = json->find("message");
        const bool messageOk = message == json->end() || message->is_null() || message->is_string();
        if (code != json->end() && code->is_string() && messageOk) {
            const bool hasMessage = message != json->end() && message->is_string();
            return MarketError::server(qs(code->get<std::string>()),
                                       hasMessage ? qs(message->get<std::string>()) : httpText);
        }
    }
    return MarketError::server(QStringLiteral("http_%1").arg(status), httpText);
}

std::optional<QByteArray> decodeBase64Url(const QByteArray& text)
{
    QByteArray standard = text;
    standard.replace('-', '+').replace('_', '/');
    while (standard.size() % 4 != 0)
        standard.append('=');
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(standard, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return decoded.decoded;
}

Result<MarketDownload> parseDownload(const QByteArray& body)
{
    if (body.size() > kMaxReplyBytes)
        return MarketError::malformed();
    QString error;
    const std::optional<Json> json = parseObject(body, QStringLiteral("The download"), &error);
    if (!json)
        return MarketError::decoding(error);
    const auto package = stringMember(*json, "package", QStringLiteral("download"), &error);
    const auto sig = package ? stringMember(*json, "sig", QStringLiteral("download"), &error) : std::nullopt;
    if (!sig)
        return MarketError::decoding(error);
    const auto packageBytes = decodeBase64Url(package->toLatin1());
    const auto sigBytes = decodeBase64Url(sig->toLatin1());
    // Non-Latin-1 text cannot be Base64; toLatin1() would turn it into '?', which
    // the decoder refuses as well.
    if (!packageBytes || !sigBytes)
        return MarketError::malformed();
    return MarketDownload{*packageBytes, *sigBytes};
}

bool verifySignature(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey)
{
    if (signature.size() != crypto_sign_BYTES || publicKey.size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    if (sodium_init() < 0)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                       reinterpret_cast<const unsigned char*>(message.constData()),
                                       quint64(message.size()),
                                       reinterpret_cast<const unsigned char*>(publicKey.constData())) == 0;
}

Result<MarketPackage> parsePackage(const QByteArray& bytes)
{
    QString error;
    const std::optional<Json> json = parseObject(bytes, QStringLiteral("The package"), &error);
    if (!json)
        return MarketError::decoding(error);
    const auto itemId = stringMember(*json, "item_id", QStringLiteral("package"), &error);
    const auto version = itemId ? stringMember(*json, "version", QStringLiteral("package"), &error) : std::nullopt;
    if (!version)
        return MarketError::decoding(error);
    const auto profile = json->find("profile");
    if (profile == json->end())
        return MarketError::decoding(QStringLiteral("package.profile: missing"));
    std::optional<RingProfile> ring =
        ModelJson::ringProfileFromJson(*profile, &error, QStringLiteral("package.profile"));
    if (!ring)
        return MarketError::decoding(error);
    return MarketPackage{*itemId, *version, std::move(*ring)};
}

Result<RingProfile> ringToInstall(const MarketDownload& download, const MarketItem& item, const QByteArray& publicKey)
{
    // Nothing from the package is read before its signature holds.
    if (!verifySignature(download.package, download.signature, publicKey))
        return MarketError::badSignature();
    Result<MarketPackage> package = parsePackage(download.package);
    if (const MarketError* error = std::get_if<MarketError>(&package))
        return *error;
    MarketPackage& value = std::get<MarketPackage>(package);
    if (value.itemId != item.id)
        return MarketError::itemMismatch();
    RingProfile ring = std::move(value.profile);
    // An empty identifier would bind the ring to no application at all.
    if (!ring.bundleIdentifier || ring.bundleIdentifier->isEmpty())
        ring.bundleIdentifier = item.bundleId;
    return ring;
}

} // namespace MarketProtocol
