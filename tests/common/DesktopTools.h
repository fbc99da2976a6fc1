#pragma once

// The command-line tools of the test session (xdotool, pactl, xprop, ...).
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// Runs `program` with `args` (which may hold blanks) and returns its standard
// output, trimmed; *status, when asked for, gets its exit code (-1 when it
// crashed or did not finish in time).
inline QString commandOutput(const QString& program, const QStringList& args, int* status = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool finished = p.waitForFinished(15000);
    if (status)
        *status = finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The same for a command line split at spaces.
inline QString commandOutput(const QString& commandLine)
{
    QStringList args = commandLine.split(QLatin1Char(' '));
    const QString program = args.takeFirst();
    return commandOutput(program, args);
}

inline QString xdotool(const QString& args)
{
    return commandOutput(QStringLiteral("xdotool ") + args);
}

inline QString xdotool(const QStringList& args)
{
    return commandOutput(QStringLiteral("xdotool"), args);
}

// A left click at a point of the screen, once the pointer is there.
inline void clickAt(QPoint global)
{
    xdotool(QStringList{QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(global.x()),
                        QString::number(global.y())});
    xdotool(QStringList{QStringLiteral("click"), QStringLiteral("1")});
}

// A real drag with the left button from one point of the screen to another,
// in small steps. The drag runs its own event loop in the application until
// the button comes up, so the whole gesture is one xdotool run beside it; the
// returned process is started and finishes by itself.
inline void startDragGesture(QProcess& xdo, QPoint from, QPoint to)
{
    QStringList gesture{QStringLiteral("mousemove"), QStringLiteral("--sync"),    QString::number(from.x()),
                        QString::number(from.y()),   QStringLiteral("mousedown"), QStringLiteral("1"),
                        QStringLiteral("sleep"),     QStringLiteral("0.1")};
    for (int step = 1; step <= 10; ++step) {
        const QPoint p = from + (to - from) * step / 10;
        gesture << QStringLiteral("mousemove") << QString::number(p.x()) << QString::number(p.y())
                << QStringLiteral("sleep") << QStringLiteral("0.05");
    }
    gesture << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup")
            << QStringLiteral("1");
    xdo.start(QStringLiteral("xdotool"), gesture);
}

// Keys pressed on the focused window with the held modifiers let go first;
// the window handles them, and AT-SPI hears of it, a moment later.
inline void pressKeys(const QString& keys)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
    QTest::qWait(250);
}

inline void movePointer(QPoint to)
{
    xdotool(QStringLiteral("mousemove %1 %2").arg(to.x()).arg(to.y()));
}
