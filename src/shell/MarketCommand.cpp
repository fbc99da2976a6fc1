#include "shell/MarketCommand.h"

#include "market/MarketClient.h"
#include "market/MarketKey.h"
#include "model/AppProfileManager.h"
#include "shell/RingCommand.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QTextStream>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Two requests of at most 60 s each, and the store's write.
constexpr int kDBusTimeoutMs = 130 * 1000;

const QString kPrefix = QStringLiteral("rondix market: ");
const QString kServiceName = QStringLiteral("org.rondix.Rondix");

QString usageText()
{
    return QStringLiteral(
        "Usage: rondix market <command> [options]\n"
        "\n"
        "Commands:\n"
        "  list              show the rings the market offers\n"
        "  install ID        download the ring of item ID, check its signature and add\n"
        "                    it to your rings (through the running Rondix when it runs)\n"
        "\n"
        "Options:\n"
        "  --url URL         the market to use (default: the rx_market_base_url setting,\n"
        "                    else %1)\n"
        "  -h, --help        show this help\n")
        .arg(MarketClient::configuredBaseUrl().toString());
}

int usageError(QTextStream& err, const QString& message)
{
    err << kPrefix << message << "\n"
        << "Try 'rondix market --help'.\n";
    err.flush();
    return kExitUsage;
}

int failure(QTextStream& err, const QString& message)
{
    err << kPrefix << message << "\n";
    err.flush();
    return kExitFailed;
}

struct Options
{
    QStringList positional;
    std::optional<QUrl> url;
    bool help = false;
};

bool parseOptions(const QStringList& args, Options* options, QString* error)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options->help = true;
        } else if (arg == QLatin1String("--url") || arg.startsWith(QLatin1String("--url="))) {
            QString value;
            if (arg.startsWith(QLatin1String("--url=")))
                value = arg.mid(6);
            else if (i + 1 < args.size())
                value = args[++i];
            const QUrl url(value, QUrl::StrictMode);
            if (value.isEmpty() || !url.isValid() ||
                (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
                url.host().isEmpty()) {
                *error = QStringLiteral("--url needs an http or https address");
                return false;
            }
            if (options->url) {
                *error = QStringLiteral("option '--url' given twice");
                return false;
            }
            options->url = url;
        } else if (arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            *error = QStringLiteral("unknown option '%1'").arg(arg);
            return false;
        } else {
            options->positional << arg;
        }
    }
    return true;
}

// Runs the event loop until `start` calls its completion.
bool runUntilDone(const std::function<void(std::function<void(bool)>)>& start)
{
    QEventLoop loop;
    bool result = false;
    start([&](bool ok) {
        result = ok;
        loop.quit();
    });
    loop.exec();
    return result;
}

int listCommand(const Options& options, QTextStream& out, QTextStream& err)
{
    if (!options.positional.isEmpty())
        return usageError(err, QStringLiteral("list takes no arguments"));
    // Listing touches no ring: no store is opened.
    MarketClient market(nullptr, options.url.value_or(MarketClient::configuredBaseUrl()), MarketKey::verifyingKey());
    if (!runUntilDone([&](auto done) { market.loadCatalog(done); }))
        return failure(err, market.messageText());
    const QList<MarketItem> items = market.items();
    if (items.isEmpty()) {
        out << market.messageText() << "\n";
        out.flush();
        return kExitOk;
    }
    qsizetype width = 0;
    for (const MarketItem& item : items)
        width = std::max(width, item.id.size());
    const QSet<QString> installed = market.installedIds();
    for (const MarketItem& item : items) {
        out << item.id.leftJustified(width) << "  " << item.appName << "  v" << item.version;
        if (installed.contains(item.id))
            out << "  (installed)";
        out << "\n" << QString(width + 2, QLatin1Char(' ')) << item.summary;
        if (item.author)
            out << " — " << *item.author;
        out << "\n";
    }
    out.flush();
    return kExitOk;
}

// Asks the running Rondix to install. None when no Rondix runs; otherwise
// whether it worked, with its message. The name is called directly, without
// starting Rondix through bus activation and without the bus interface object,
// whose signal subscriptions would still deliver while the process exits.
std::optional<bool> installThroughRunningInstance(const QString& id, const std::optional<QUrl>& url, QString* message)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(kServiceName, QStringLiteral("/org/rondix/Rondix"),
                                                       kServiceName, QStringLiteral("InstallMarketItem"));
    call.setAutoStartService(false);
    call << id << (url ? url->toString() : QString());
    const QDBusMessage reply = bus.call(call, QDBus::Block, kDBusTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        *message = reply.arguments().first().toString();
        return true;
    }
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return std::nullopt;
    *message = reply.errorMessage().isEmpty() ? error : reply.errorMessage();
    return false;
}

int installCommand(const Options& options, QTextStream& out, QTextStream& err)
{
    if (options.positional.size() != 1) {
        return usageError(err, options.positional.isEmpty() ? QStringLiteral("install needs an item id")
                                                            : QStringLiteral("install takes one item id"));
    }
    const QString id = options.positional.first();
    QString message;
    if (const auto running = installThroughRunningInstance(id, options.url, &message)) {
        if (!*running)
            return failure(err, message);
        out << message << "\n";
        out.flush();
        return kExitOk;
    }

    const QString dataDirectory = AppProfileManager::defaultDataDirectory();
    if (const auto problem = damagedStore(dataDirectory))
        return failure(err, *problem);
    AppProfileManager store(dataDirectory);
    MarketClient market(&store, options.url.value_or(MarketClient::configuredBaseUrl()), MarketKey::verifyingKey());
    if (!runUntilDone([&](auto done) { market.installById(id, done); }))
        return failure(err, market.messageText());
    out << market.messageText() << "\n";
    out.flush();
    return kExitOk;
}

} // namespace

int runMarketCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty())
        return usageError(err, QStringLiteral("missing command (list or install)"));
    const QString command = args.first();
    if (command == QLatin1String("-h") || command == QLatin1String("--help") || command == QLatin1String("help")) {
        out << usageText();
        out.flush();
        return kExitOk;
    }
    if (command != QLatin1String("list") && command != QLatin1String("install"))
        return usageError(err, QStringLiteral("unknown command '%1'").arg(command));

    Options options;
    QString error;
    if (!parseOptions(args.mid(1), &options, &error))
        return usageError(err, error);
    if (options.help) {
        out << usageText();
        out.flush();
        return kExitOk;
    }
    return command == QLatin1String("list") ? listCommand(options, out, err) : installCommand(options, out, err);
}
