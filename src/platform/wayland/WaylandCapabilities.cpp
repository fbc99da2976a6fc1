#include "platform/wayland/WaylandCapabilities.h"

namespace WaylandCapabilities {

namespace {
const QString kLayerShell = QStringLiteral("zwlr_layer_shell_v1");
const QString kToplevels = QStringLiteral("zwlr_foreign_toplevel_manager_v1");
const QString kPlasmaWindows = QStringLiteral("org_kde_plasma_window_management");
const QString kVirtualKeyboard = QStringLiteral("zwp_virtual_keyboard_manager_v1");
const QString kFakeInput = QStringLiteral("org_kde_kwin_fake_input");
const QString kDataControl = QStringLiteral("zwlr_data_control_manager_v1");

bool desktopIs(const QString& currentDesktop, const char* name)
{
    // XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME").
    const QStringList parts = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        if (p.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
} // namespace

Compositor identify(const QString& currentDesktop, const QSet<QString>& globals, bool swayIpc)
{
    if (swayIpc || desktopIs(currentDesktop, "sway"))
        return Compositor::Sway;
    if (desktopIs(currentDesktop, "KDE") || globals.contains(kFakeInput) || globals.contains(kPlasmaWindows))
        return Compositor::KWin;
    if (desktopIs(currentDesktop, "GNOME") || globals.contains(QStringLiteral("gtk_shell1")))
        return Compositor::Gnome;
    if (globals.contains(kLayerShell) && globals.contains(kToplevels))
        return Compositor::Wlroots;
    return Compositor::Other;
}

SessionCapabilities assess(const QString& currentDesktop, const QSet<QString>& globals, bool swayIpc)
{
    SessionCapabilities c;
    const Compositor kind = identify(currentDesktop, globals, swayIpc);
    switch (kind) {
    case Compositor::Sway:
        c.desktop = QStringLiteral("sway");
        break;
    case Compositor::KWin:
        c.desktop = QStringLiteral("KDE Plasma");
        break;
    case Compositor::Gnome:
        c.desktop = QStringLiteral("GNOME");
        break;
    case Compositor::Wlroots:
    case Compositor::Other:
        c.desktop = currentDesktop.isEmpty() ? QStringLiteral("Wayland") : currentDesktop.section(QLatin1Char(':'), 0, 0);
        break;
    }

    c.ringAtPointer = globals.contains(kLayerShell);
    c.frontmostApp = globals.contains(kToplevels) || globals.contains(kPlasmaWindows);
    c.keys = globals.contains(kVirtualKeyboard) || globals.contains(kFakeInput);
    c.clipboard = globals.contains(kDataControl);
    // sway binds keys and buttons for a client; KWin runs a script's shortcut
    // and GNOME a custom shortcut that Rondix writes (DesktopShortcutGrabber),
    // keys only. Elsewhere the user binds "rondix summon" in the desktop's own
    // shortcut settings.
    c.hotkey = kind == Compositor::Sway || kind == Compositor::KWin || kind == Compositor::Gnome;
    c.mouseButton = kind == Compositor::Sway;

    // L10n keys: the tray and the permission guide show them in the user's language.
    if (!c.ringAtPointer)
        c.missing << QStringLiteral("session.missing.layer_shell");
    if (!c.hotkey) {
        c.missing << QStringLiteral("session.missing.hotkey");
        c.advice << QStringLiteral("session.advice.other_hotkey");
    }
    // Where GNOME keeps the shortcut, should the user want another key there.
    if (kind == Compositor::Gnome)
        c.advice << QStringLiteral("session.advice.gnome_hotkey");
    if (!c.mouseButton)
        c.missing << QStringLiteral("session.missing.mouse_button");
    if (!c.frontmostApp)
        c.missing << QStringLiteral("session.missing.frontmost");
    if (!c.keys) {
        c.missing << QStringLiteral("session.missing.keys");
        if (kind == Compositor::Gnome)
            c.advice << QStringLiteral("session.advice.gnome_keys");
    }
    if (!c.clipboard)
        c.missing << QStringLiteral("session.missing.clipboard");
    // KWin grants its protocols to a desktop file with an absolute Exec only.
    if (kind == Compositor::KWin && (!c.keys || !globals.contains(kPlasmaWindows)))
        c.advice << QStringLiteral("session.advice.kwin_keys");
    return c;
}

} // namespace WaylandCapabilities
