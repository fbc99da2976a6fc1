#pragma once

// The settings window of a running Rondix (RondixHome) on the test display:
// opened over D-Bus, driven with real key presses, and read the way a screen
// reader reads it, over AT-SPI (tests/x11/settings/atspi_tree.py).
#include "DesktopTools.h"
#include "RondixHome.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace SettingsWindowOnScreen {

inline const QString kTitle = QStringLiteral("Rondix Ring Settings");

struct Accessible
{
    QString role;
    QString name;
    bool focused = false;
    bool checked = false;
    bool focusable = false;
    bool showing = false;
};

// The settings window's accessible tree as AT-SPI serves it.
inline QList<Accessible> tree()
{
    QList<Accessible> nodes;
    const QString out = commandOutput(QStringLiteral("/usr/bin/python3"),
                                      {QStringLiteral(RONDIX_SOURCE_DIR "/tests/x11/settings/atspi_tree.py"),
                                       QStringLiteral("rondix"), kTitle});
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        nodes.append({o["role"].toString(), o["name"].toString(), o["focused"].toBool(),
                      o["checked"].toBool(), o["focusable"].toBool(), o["showing"].toBool()});
    }
    return nodes;
}

// The control with the keyboard focus. The current row of a list keeps its
// focused state after the focus moved on, so rows count only when nothing
// else has the focus.
inline std::optional<Accessible> focused()
{
    std::optional<Accessible> row;
    for (const Accessible& a : tree()) {
        if (!a.focused || !a.showing)
            continue;
        if (a.role != QLatin1String("list item"))
            return a;
        row = a;
    }
    return row;
}

inline bool showingNamed(const QString& name)
{
    const QList<Accessible> nodes = tree();
    return std::any_of(nodes.begin(), nodes.end(),
                       [&](const Accessible& a) { return a.showing && a.name == name; });
}

// The names of the showing controls; a focusable control without a name is
// listed as "<role> without a name" in `unnamed`.
inline QStringList showingNames(QStringList* unnamed)
{
    static const QStringList controls{"push button", "check box", "toggle button", "radio button",
                                      "text",        "list",      "combo box",     "page tab"};
    QStringList names;
    for (const Accessible& a : tree()) {
        if (!a.showing)
            continue;
        names << a.name;
        if (a.focusable && controls.contains(a.role) && a.name.isEmpty())
            *unnamed << a.role + QStringLiteral(" without a name");
    }
    return names;
}

// Presses `tabKey` until the control named `name` has the keyboard focus.
inline bool tabTo(const QString& name, const QString& tabKey = QStringLiteral("Tab"))
{
    for (int i = 0; i < 60; ++i) {
        const std::optional<Accessible> now = focused();
        if (now && now->name == name)
            return true;
        pressKeys(tabKey);
    }
    qWarning() << "focus never reached" << name;
    return false;
}

// Starts Rondix in `home` with the accessibility bridge on, opens its settings
// window and activates it; returns the window's id, empty when any step failed.
// `log` gets what Rondix printed while starting.
inline QString open(const RondixHome& home, QProcess& rondix, QByteArray* log = nullptr)
{
    QProcessEnvironment env = home.env;
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    const QByteArray printed = home.launch(rondix, {}, env);
    if (log)
        *log = printed;
    if (printed.isEmpty() ||
        RondixHome::call(QStringLiteral("ShowSettings"), {}).type() != QDBusMessage::ReplyMessage)
        return {};
    QString window;
    const auto found = [&] {
        window = commandOutput(QStringLiteral("xdotool"), {"search", "--name", kTitle}).section('\n', 0, 0);
        return !window.isEmpty();
    };
    if (!QTest::qWaitFor(found, 10000))
        return {};
    commandOutput(QStringLiteral("xdotool"), {"windowactivate", "--sync", window});
    return QTest::qWaitFor([] { return focused().has_value(); }, 10000) ? window : QString();
}

} // namespace SettingsWindowOnScreen
