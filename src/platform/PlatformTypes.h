#pragma once

#include <QMetaType>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

// Modifier masks in the convention the ring data uses everywhere (the values of
// the classic hot-key API): they are stored in hotkeys and mapped by each backend.
namespace ModifierMask {
constexpr quint32 Command = 256;  // Super on Linux
constexpr quint32 Shift = 512;
constexpr quint32 Option = 2048;  // Alt on Linux
constexpr quint32 Control = 4096;
constexpr quint32 All = Command | Shift | Option | Control;
} // namespace ModifierMask

// Rondix's own application id; its windows never count as a target.
inline const QString kOwnAppId = QStringLiteral("org.rondix.Rondix");

// A running application, as seen through one of its top-level windows.
struct RunningApp
{
    quint32 window = 0;     // top-level window id (0 when unknown)
    qint64 pid = 0;         // process id (0 or less when unknown)
    QString bundleId;       // desktop-file id without ".desktop"; empty when unknown
    QString name;           // localized display name; empty when the app has none
    QString iconName;       // theme icon name or absolute image path; empty when none
    QString desktopFile;    // path of the .desktop file; empty when none
    QString wmClass;        // WM_CLASS class part

    bool operator==(const RunningApp&) const = default;
};
Q_DECLARE_METATYPE(RunningApp)

// An installed application: one shown desktop entry.
struct DesktopEntry
{
    QString id;               // desktop-file id without ".desktop"
    QString name;             // localized Name
    QString unlocalizedName;  // plain Name
    QString iconName;         // Icon key (theme name or absolute path)
    QString path;             // path of the .desktop file
    QString startupWmClass;   // StartupWMClass, may be empty
    QStringList categories;   // Categories ("TerminalEmulator", ...), may be empty

    bool operator==(const DesktopEntry&) const = default;
};
Q_DECLARE_METATYPE(DesktopEntry)

// One raw key press seen by the global input monitor.
struct RawKeyEvent
{
    quint32 nativeKeycode = 0;  // X keycode
    quint32 keysym = 0;
    int virtualKeyCode = -1;    // the ring data's key code, -1 when the key has none
    quint32 modifiers = 0;      // ModifierMask bits held at the time of the press
};
Q_DECLARE_METATYPE(RawKeyEvent)
