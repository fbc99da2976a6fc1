#pragma once

#include "platform/HotkeyGrabber.h"

#include <QString>

// The hotkey where a client cannot bind keys itself, handed to the desktop's
// own shortcut settings, which run "rondix summon" (a D-Bus summon, so no
// activated() comes from here):
//  - GNOME: a custom keybinding in org.gnome.settings-daemon.plugins.media-keys;
//  - KDE Plasma: a KWin script that registers the shortcut and calls Rondix.
class DesktopShortcutGrabber : public HotkeyGrabber
{
    Q_OBJECT
public:
    enum class Desktop { Gnome, Plasma };
    static inline const QString kGnomePath =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/rondix/");
    static inline const QString kScriptName = QStringLiteral("rondix-hotkey");
    // The script's action in KWin's shortcuts (component "kwin").
    static inline const QString kShortcutName = QStringLiteral("Rondix");

    DesktopShortcutGrabber(Desktop desktop, QObject* parent = nullptr);
    ~DesktopShortcutGrabber() override = default;

    // 0 when the desktop took the shortcut, 1 when it cannot (no settings
    // schema, no KWin), 2 for a key code that has no key.
    int grab(quint16 keyCode, quint32 modifiers) override;
    // The shortcut stays with the desktop when Rondix quits, as a binding the
    // user made would; ungrab() takes it away.
    void ungrab() override;
    bool isGrabbed() const override { return m_grabbed; }

    // The command GNOME runs for the binding: `program summon`, quoted as
    // the desktop splits it.
    static QString gnomeCommand(const QString& program);
    // GNOME's accelerator text ("<Alt>space"); empty when the key has no name.
    static QString gnomeAccelerator(quint16 keyCode, quint32 modifiers);
    // KWin's key sequence text ("Alt+Space"); empty when the key has no name.
    static QString kwinSequence(quint16 keyCode, quint32 modifiers);
    // The KWin script that registers `sequence` and summons Rondix over D-Bus.
    static QString kwinScript(const QString& sequence);

private:
    int grabGnome(const QString& accelerator);
    int grabPlasma(const QString& sequence);
    static void removePlasmaShortcut();

    Desktop m_desktop;
    bool m_grabbed = false;
};
