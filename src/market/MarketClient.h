#pragma once

#include "market/MarketProtocol.h"

#include <functional>
#include <optional>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

class AppProfileManager;
class QNetworkAccessManager;
class QNetworkReply;

Q_DECLARE_LOGGING_CATEGORY(lcMarket)

// The ring market: fetches the catalogue, downloads one item's signed package,
// checks it and hands its ring to the profile store. Main thread only; every
// published change happens there.
class MarketClient : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<MarketItem> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString message READ messageText NOTIFY messageChanged)
    Q_PROPERTY(QStringList installedIds READ installedIdList NOTIFY installedIdsChanged)

public:
    static const QString installedIdsKey; // "rx_market_installed"
    static const QString baseUrlKey;      // "rx_market_base_url"

    // `store` receives installed rings (null for a client that only lists);
    // `publicKey` is the raw verifying key.
    MarketClient(AppProfileManager* store, const QUrl& baseUrl, const QByteArray& publicKey,
                 QObject* parent = nullptr);
    ~MarketClient() override;

    // Wired to the real store, the configured base URL and the build's key.
    static MarketClient& shared();
    // "rx_market_base_url" when set, else the URL the build was configured with.
    static QUrl configuredBaseUrl();

    QList<MarketItem> items() const { return m_items; }
    bool isLoading() const { return m_isLoading; }
    std::optional<QString> message() const { return m_message; }
    QString messageText() const { return m_message.value_or(QString()); }
    QSet<QString> installedIds() const { return m_installedIds; }
    QStringList installedIdList() const;
    QUrl baseUrl() const { return m_baseUrl; }
    QByteArray publicKey() const { return m_publicKey; }

    // Refreshes `items` and `message`; `done` (optional) learns whether it worked.
    void loadCatalog(std::function<void(bool)> done = {});
    // Installs one item; `done` learns whether it worked. The outcome's text is
    // in `message` either way.
    void install(const MarketItem& item, std::function<void(bool)> done = {});
    // Loads the catalogue, then installs the item with this id (the command line
    // knows items by id only).
    void installById(const QString& itemId, std::function<void(bool)> done = {});
    // Reads "rx_market_installed" again (another client instance installed).
    void reloadInstalledIds();

Q_SIGNALS:
    void itemsChanged();
    void isLoadingChanged();
    void messageChanged();
    void installedIdsChanged();
    void catalogFinished(bool ok);
    void installFinished(const QString& itemId, bool ok);

private:
    using Completion = std::function<void(int status, const QByteArray& body, const std::optional<MarketError>& transport)>;
    void post(const QString& path, const QByteArray& body, Completion completion);
    void setMessage(const std::optional<QString>& message);
    void setLoading(bool loading);

    AppProfileManager* m_store;
    QUrl m_baseUrl;
    QByteArray m_publicKey;
    QNetworkAccessManager* m_network;

    QList<MarketItem> m_items;
    bool m_isLoading = false;
    std::optional<QString> m_message;
    QSet<QString> m_installedIds;
    int m_catalogRequests = 0; // loads overlap; loading ends with the last one
};
