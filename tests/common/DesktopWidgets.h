#pragma once

// The test's own widgets on the test session's X server, worked with the
// session's tools (DesktopTools.h).
#include "DesktopTools.h"

#include <QGuiApplication>
#include <QStandardPaths>
#include <QWidget>

// Why the widget desktop tests cannot run here; empty when they can.
inline QString desktopMissing()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return QStringLiteral("needs the X11 test session (tests/session/run-session)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return QStringLiteral("xdotool is not installed");
    return {};
}

// Shows `window` and makes it the active one through the window manager.
inline bool activateOnDesktop(QWidget* window)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return false;
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window->winId())});
    return QTest::qWaitForWindowActive(window);
}

inline void clickWidget(const QWidget* w)
{
    clickAt(w->mapToGlobal(w->rect().center()));
}
