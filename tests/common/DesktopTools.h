#pragma once

// The command-line tools of the test session (xdotool, pactl, xprop, ...).
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs a command line split at spaces and returns its standard output, trimmed.
inline QString commandOutput(const QString& commandLine)
{
    QStringList args = commandLine.split(QLatin1Char(' '));
    QProcess p;
    p.start(args.takeFirst(), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

inline QString xdotool(const QString& args)
{
    return commandOutput(QStringLiteral("xdotool ") + args);
}

inline void movePointer(QPoint to)
{
    xdotool(QStringLiteral("mousemove %1 %2").arg(to.x()).arg(to.y()));
}
