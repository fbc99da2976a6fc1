#include "shell/CommandLine.h"

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine cl;
    if (arguments.isEmpty())
        return cl;

    const QString first = arguments.first();
    // "ring" takes everything after it verbatim; its own parser judges the rest.
    if (first == QLatin1String("ring")) {
        cl.command = Command::Ring;
        cl.ringArgs = arguments.mid(1);
        return cl;
    }
    if (first == QLatin1String("market")) {
        cl.command = Command::Market;
        cl.marketArgs = arguments.mid(1);
        return cl;
    }

    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help"))
        cl.command = Command::Help;
    else if (first == QLatin1String("--version") || first == QLatin1String("-v"))
        cl.command = Command::Version;
    else if (first == QLatin1String("summon"))
        cl.command = Command::Summon;
    else if (first == QLatin1String("settings"))
        cl.command = Command::Settings;
    else {
        cl.command = Command::Error;
        cl.error = first.startsWith(QLatin1Char('-'))
                       ? QStringLiteral("rondix: unknown option '%1'").arg(first)
                       : QStringLiteral("rondix: unknown command '%1'").arg(first);
        return cl;
    }

    if (arguments.size() > 1) {
        cl.command = Command::Error;
        cl.error = QStringLiteral("rondix: unexpected argument '%1' after '%2'").arg(arguments.at(1), first);
    }
    return cl;
}

QString CommandLine::usage()
{
    return QStringLiteral("Usage: rondix [COMMAND]\n"
                          "\n"
                          "Without a command, starts Rondix (or brings the running instance forward).\n"
                          "\n"
                          "Commands:\n"
                          "  summon            show the ring at the pointer (starts Rondix if needed)\n"
                          "  settings          open the settings window (starts Rondix if needed)\n"
                          "  ring ...          check, export and import ring files (rondix ring --help)\n"
                          "  market ...        list and install rings from the ring market (rondix market --help)\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help        show this help\n"
                          "  -v, --version     show the version\n");
}
