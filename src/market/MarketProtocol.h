#pragma once

#include "model/RingProfile.h"

#include <optional>
#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <variant>

// One catalogue entry.
struct MarketItem
{
    QString id;
    QString appName;
    QString bundleId;
    QString version;
    QString summary;
    std::optional<QString> author;

    bool operator==(const MarketItem&) const = default;
};

// The signed content of a download.
struct MarketPackage
{
    QString itemId;
    QString version;
    RingProfile profile;
};

// Why a market request failed; text() is the line the market tab shows.
struct MarketError
{
    enum class Kind
    {
        Server,       // payload: the server's message, or "HTTP <status>"
        Network,      // payload: the transport's description
        BadSignature, // the package is not signed by the market's key
        Malformed,    // not Base64, or larger than any reply the market sends
        ItemMismatch, // the package belongs to another item
        Decoding,     // payload: what could not be read, and where
    };

    Kind kind = Kind::Malformed;
    QString payload;
    QString code; // for Server: the server's "error" member, or "http_<status>"

    QString text() const;

    static MarketError server(const QString& code, const QString& text) { return {Kind::Server, text, code}; }
    static MarketError network(const QString& description) { return {Kind::Network, description, {}}; }
    static MarketError badSignature() { return {Kind::BadSignature, {}, {}}; }
    static MarketError malformed() { return {Kind::Malformed, {}, {}}; }
    static MarketError itemMismatch() { return {Kind::ItemMismatch, {}, {}}; }
    static MarketError decoding(const QString& description) { return {Kind::Decoding, description, {}}; }

    bool operator==(const MarketError&) const = default;
};

// A download reply with both strings decoded from Base64.
struct MarketDownload
{
    QByteArray package;
    QByteArray signature;
};

// The market protocol as pure functions: bytes in, a value or an error out. The
// client does the I/O and calls these; tests feed them bytes.
namespace MarketProtocol {

template <typename T>
using Result = std::variant<T, MarketError>;

// Replies above this size are refused before they are parsed; the market's
// largest package is a few kilobytes.
constexpr qint64 kMaxReplyBytes = 4 * 1024 * 1024;

QString catalogPath();
QString downloadPath();
QByteArray catalogRequestBody();
QByteArray downloadRequestBody(const QString& itemId);
// "RondixDirect/<version>", "0" standing for an unknown version.
QByteArray userAgent(const QString& applicationVersion);

// {"items": [MarketItem, ...]}
Result<QList<MarketItem>> parseCatalog(const QByteArray& body);
// The error a reply with a status outside 200..299 stands for.
MarketError errorForStatus(int status, const QByteArray& body);
// {"package": string, "sig": string}, both URL-safe Base64 that may lack padding.
Result<MarketDownload> parseDownload(const QByteArray& body);
// URL-safe (or standard) Base64, padding optional; none when it is not Base64.
std::optional<QByteArray> decodeBase64Url(const QByteArray& text);
// Ed25519 over the bytes exactly as received; false for a key or signature of
// the wrong length.
bool verifySignature(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey);
// {"item_id", "version", "profile": RingProfile}, strict rules for the ring.
Result<MarketPackage> parsePackage(const QByteArray& bytes);
// Everything between the download reply and the store: the signature, the
// package, the item check and the ring's bundle identifier.
Result<RingProfile> ringToInstall(const MarketDownload& download, const MarketItem& item,
                                  const QByteArray& publicKey);

} // namespace MarketProtocol

Q_DECLARE_METATYPE(MarketItem)
