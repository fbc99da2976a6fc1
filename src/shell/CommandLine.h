#pragma once

#include <QString>
#include <QStringList>

// What one invocation of the rondix executable asks for. Parsing is kept apart
// from main() so that every form of the command line is tested without a display.
struct CommandLine
{
    enum class Command
    {
        Run,      // start the application (or reopen the running one)
        Summon,   // show the ring at the pointer
        Settings, // open the settings window
        Ring,     // "rondix ring ...": the ring file tool, no display needed
        Market,   // "rondix market ...": list and install market rings, no display needed
        Help,
        Version,
        Error, // unknown or malformed arguments
    };

    Command command = Command::Run;
    QStringList ringArgs;   // arguments after "ring"
    QStringList marketArgs; // arguments after "market"
    QString error;        // for Error: what was wrong, ready to print

    static CommandLine parse(const QStringList& arguments); // arguments without argv[0]
    static QString usage();
};
