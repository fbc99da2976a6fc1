#include "shell/RingCommand.h"

#include "common/MessageText.h"
#include "model/AppProfileManager.h"
#include "model/ModelJson.h"
#include "model/RingFile.h"
#include "model/RingProfile.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>
#include <QTextStream>

Q_LOGGING_CATEGORY(lcRingCommand, "rondix.cli", QtInfoMsg)

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const QString kPrefix = QStringLiteral("rondix ring: ");
const QString kServiceName = QStringLiteral("org.rondix.Rondix");

QString usageText()
{
    return QStringLiteral(
        "Usage: rondix ring <command> [options]\n"
        "\n"
        "Commands:\n"
        "  validate FILE...             check that each FILE holds one valid ring\n"
        "  export [--app ID] [-o FILE]  write a ring from the ring store as JSON\n"
        "  import FILE                  merge the ring in FILE into the ring store\n"
        "\n"
        "Options:\n"
        "  --app ID            export the ring of the application with desktop id ID\n"
        "                      (the global ring when it has none of its own)\n"
        "  -o, --output FILE   write to FILE instead of standard output\n"
        "  -h, --help          show this help\n"
        "\n"
        "The ring store is $XDG_DATA_HOME/Rondix/profiles.json (~/.local/share by default).\n"
        "Importing a ring without bundle identifier replaces the slots of the global ring;\n"
        "a ring for an application replaces that application's ring or is added.\n");
}

// Every line printed carries its values escaped already; this keeps it one line
// even where a value was not (a file name given on the command line).
QString oneLine(const QString& text)
{
    return controlsEscaped(text);
}

int usageError(QTextStream& err, const QString& message)
{
    err << kPrefix << oneLine(message) << "\n"
        << "Try 'rondix ring --help'.\n";
    err.flush();
    return kExitUsage;
}

int failure(QTextStream& err, const QString& message)
{
    err << kPrefix << oneLine(message) << "\n";
    err.flush();
    return kExitFailed;
}

bool loadRingFile(const QString& path, RingProfile* ring, QString* error)
{
    std::optional<RingProfile> decoded = RingFile::decode(path, error);
    if (!decoded)
        return false;
    *ring = std::move(*decoded);
    return true;
}

// Names come from files anyone may have written: quoted, escaped, cut short, so
// every message stays on one line and nothing reaches the terminal as a command.
QString quoted(const QString& text)
{
    return messageQuoted(text);
}

QString bundleText(const QString& bundleId)
{
    return messageEscaped(bundleId);
}

QString ringOwner(const RingProfile& ring)
{
    return ring.bundleIdentifier ? bundleText(*ring.bundleIdentifier) : QStringLiteral("global");
}

QString slotCount(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 slot") : QStringLiteral("%1 slots").arg(n);
}

QString sectorList(const QList<qint64>& sectors)
{
    QStringList texts;
    for (qint64 s : sectors)
        texts << QString::number(s);
    return texts.join(QStringLiteral(", "));
}

// Content that decodes but will not show as the file's author probably meant.
QStringList ringWarnings(const RingProfile& ring)
{
    QStringList warnings;
    int counts[8] = {};
    QList<qint64> outside;
    for (const ActionSlot& slot : ring.slots) {
        if (slot.index >= 0 && slot.index < 8)
            ++counts[slot.index];
        else
            outside << slot.index;
    }
    QList<qint64> missing, duplicated;
    for (int sector = 0; sector < 8; ++sector) {
        if (counts[sector] == 0)
            missing << sector;
        else if (counts[sector] > 1)
            duplicated << sector;
    }
    if (!missing.isEmpty())
        warnings << QStringLiteral("sectors without a slot (shown empty): %1").arg(sectorList(missing));
    if (!duplicated.isEmpty())
        warnings << QStringLiteral("sectors with more than one slot (only the first is used): %1")
                        .arg(sectorList(duplicated));
    if (!outside.isEmpty())
        warnings
            << QStringLiteral("slots outside sectors 0-7 (never shown): index %1").arg(sectorList(outside));
    if (ring.bundleIdentifier && ring.bundleIdentifier->isEmpty())
        warnings << QStringLiteral("the bundle identifier is empty, so no application selects this ring");
    return warnings;
}

// The store resets itself to the built-in ring when its file cannot be decoded.
// The command line must not trigger that behind the user's back (an export would
// hand out the built-in ring, an import would discard every other ring), so it
// refuses to work on a damaged store and leaves it for the user to inspect.
} // namespace

std::optional<QString> damagedStore(const QString& dataDirectory)
{
    QString path = AppProfileManager::storeFilePath(dataDirectory);
    if (!QFileInfo::exists(path)) {
        path = AppProfileManager::legacyStoreFilePath(dataDirectory);
        if (!QFileInfo::exists(path))
            return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the ring store %1 cannot be read: %2").arg(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (bytes.trimmed().isEmpty()) {
        // Nothing in it to lose. Without the file the store starts afresh
        // silently; with it, it would log a load failure into the exported JSON.
        file.close();
        if (!QFile::remove(path))
            return QStringLiteral("the empty ring store %1 cannot be replaced").arg(path);
        return std::nullopt;
    }
    QString error;
    if (!decodeRingProfiles(bytes, &error)) {
        return QStringLiteral("the ring store %1 is damaged (%2); it was left untouched. "
                              "Repair it or move it aside, then try again.")
            .arg(path, error);
    }
    return std::nullopt;
}

namespace {

// Options of the store commands. Returns false (with a message) on a usage error.
struct Options
{
    std::optional<QString> app;
    std::optional<QString> output;
    QStringList positional;
    bool help = false;
};

bool parseOptions(const QStringList& args, bool allowApp, bool allowOutput, Options* options, QString* error)
{
    bool onlyPositional = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyPositional || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            options->positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            onlyPositional = true;
            continue;
        }
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options->help = true;
            continue;
        }

        QString name = arg;
        std::optional<QString> value;
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
        }
        const bool isApp = allowApp && name == QLatin1String("--app");
        const bool isOutput =
            allowOutput && (name == QLatin1String("-o") || name == QLatin1String("--output"));
        if (!isApp && !isOutput) {
            *error = QStringLiteral("unknown option '%1'").arg(arg);
            return false;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("option '%1' needs a value").arg(name);
                return false;
            }
            value = args[++i];
        }
        if (value->isEmpty()) {
            *error = QStringLiteral("option '%1' needs a non-empty value").arg(name);
            return false;
        }
        std::optional<QString>& slot = isApp ? options->app : options->output;
        if (slot) {
            *error = QStringLiteral("option '%1' given twice").arg(name);
            return false;
        }
        slot = value;
    }
    return true;
}

// Parses a command's options. Returns the exit status when the command is done
// already: a usage error, or --help.
std::optional<int> parseCommand(const QStringList& args, bool allowApp, bool allowOutput, Options* options,
                                QTextStream& out, QTextStream& err)
{
    QString error;
    if (!parseOptions(args, allowApp, allowOutput, options, &error))
        return usageError(err, error);
    if (options->help) {
        out << usageText();
        return kExitOk;
    }
    return std::nullopt;
}

int validateCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    if (const auto done = parseCommand(args, false, false, &options, out, err))
        return *done;
    QString error;
    if (options.positional.isEmpty())
        return usageError(err, QStringLiteral("validate needs a ring file"));

    int status = kExitOk;
    for (const QString& path : options.positional) {
        RingProfile ring;
        if (!loadRingFile(path, &ring, &error)) {
            err << kPrefix << oneLine(error) << "\n";
            status = kExitFailed;
            continue;
        }
        out << QStringLiteral("%1: ring %2 (%3), %4\n")
                   .arg(oneLine(path), quoted(ring.name), ringOwner(ring), slotCount(ring.slots.size()));
        for (const QString& warning : ringWarnings(ring))
            err << kPrefix << oneLine(path) << ": warning: " << warning << "\n";
    }
    out.flush();
    err.flush();
    return status;
}

int exportCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    if (const auto done = parseCommand(args, true, true, &options, out, err))
        return *done;
    QString error;
    if (!options.positional.isEmpty())
        return usageError(err, QStringLiteral("export takes no file argument; use -o FILE"));
    const bool toStdout = !options.output || *options.output == QLatin1String("-");
    if (!toStdout && QFileInfo(*options.output).isDir())
        return failure(err, QStringLiteral("%1: is a directory").arg(*options.output));

    const QString dataDirectory = AppProfileManager::defaultDataDirectory();
    if (const auto problem = damagedStore(dataDirectory))
        return failure(err, *problem);

    AppProfileManager store(dataDirectory);
    const RingProfile ring = store.profileFor(options.app);
    if (options.app && ring.bundleIdentifier != options.app) {
        err << kPrefix << "no ring of its own for " << oneLine(*options.app)
            << "; exporting the global ring\n";
        err.flush();
    }

    if (toStdout) {
        out << QString::fromUtf8(RingFile::encode(ring));
        out.flush();
        return kExitOk;
    }

    if (!RingFile::write(*options.output, ring, &error))
        return failure(err, QStringLiteral("%1: cannot write: %2").arg(*options.output, error));
    out << QStringLiteral("Exported ring %1 (%2) to %3\n")
               .arg(quoted(ring.name), ringOwner(ring), *options.output);
    out.flush();
    return kExitOk;
}

} // namespace

std::optional<QString> importRingInto(AppProfileManager& store, const RingProfile& incoming, QString* error)
{
    // Which ring the store is about to replace, named as it is before the import.
    QString outcome;
    const QList<RingProfile> before = store.profiles();
    if (!incoming.bundleIdentifier) {
        QString globalName;
        for (const RingProfile& ring : before) {
            if (ring.isGlobalDefault()) {
                globalName = ring.name;
                break;
            }
        }
        outcome = QStringLiteral("Replaced the slots of the global ring %1").arg(quoted(globalName));
    } else {
        std::optional<RingProfile> existing;
        for (const RingProfile& ring : before) {
            if (ring.bundleIdentifier == incoming.bundleIdentifier) {
                existing = ring;
                break;
            }
        }
        if (existing) {
            outcome = QStringLiteral("Replaced ring %1 for %2")
                          .arg(quoted(existing->name), bundleText(*incoming.bundleIdentifier));
            if (existing->name != incoming.name)
                outcome += QStringLiteral(" (now named %1)").arg(quoted(incoming.name));
        } else {
            outcome = QStringLiteral("Added new ring %1 for %2")
                          .arg(quoted(incoming.name), bundleText(*incoming.bundleIdentifier));
        }
    }

    if (!store.importProfile(incoming)) {
        *error = QStringLiteral("the ring store %1 could not be written").arg(store.saveFilePath());
        return std::nullopt;
    }
    return outcome;
}

namespace {

std::optional<QString> importThroughRunningInstance(const QString& absolutePath, QString* error)
{
    error->clear();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kServiceName).value())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(kServiceName, QStringLiteral("/org/rondix/Rondix"),
                                                       kServiceName, QStringLiteral("ImportRingFile"));
    call << absolutePath;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        return reply.arguments().first().toString();
    *error = QStringLiteral("the running Rondix could not import the ring: %1").arg(reply.errorMessage());
    return std::nullopt;
}

int importCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    if (const auto done = parseCommand(args, false, false, &options, out, err))
        return *done;
    QString error;
    if (options.positional.size() != 1) {
        return usageError(err, options.positional.isEmpty() ? QStringLiteral("import needs a ring file")
                                                            : QStringLiteral("import takes one ring file"));
    }
    const QString path = options.positional.first();

    // Decode before the store is touched: a bad file changes nothing.
    RingProfile incoming;
    if (!loadRingFile(path, &incoming, &error))
        return failure(err, error);
    for (const QString& warning : ringWarnings(incoming))
        err << kPrefix << oneLine(path) << ": warning: " << warning << "\n";

    // A running Rondix owns the rings in memory and writes them back on every
    // edit, so it does the import itself; otherwise the store file is updated here.
    QString outcome;
    if (const auto running = importThroughRunningInstance(QFileInfo(path).absoluteFilePath(), &error)) {
        outcome = *running;
    } else {
        if (!error.isEmpty())
            return failure(err, error);
        const QString dataDirectory = AppProfileManager::defaultDataDirectory();
        if (const auto problem = damagedStore(dataDirectory))
            return failure(err, *problem);
        AppProfileManager store(dataDirectory);
        const auto done = importRingInto(store, incoming, &error);
        if (!done)
            return failure(err, error);
        outcome = *done;
    }

    out << outcome << " from " << oneLine(path) << "; it is now the selected ring.\n";
    out.flush();
    err.flush();
    return kExitOk;
}

} // namespace

int runRingCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty())
        return usageError(err, QStringLiteral("missing command (validate, export or import)"));

    const QString command = args.first();
    const QStringList rest = args.mid(1);
    qCDebug(lcRingCommand) << "ring" << args;

    if (command == QLatin1String("-h") || command == QLatin1String("--help") ||
        command == QLatin1String("help")) {
        out << usageText();
        out.flush();
        return kExitOk;
    }
    if (command == QLatin1String("validate"))
        return validateCommand(rest, out, err);
    if (command == QLatin1String("export"))
        return exportCommand(rest, out, err);
    if (command == QLatin1String("import"))
        return importCommand(rest, out, err);
    return usageError(err, QStringLiteral("unknown command '%1'").arg(command));
}
