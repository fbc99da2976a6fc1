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
    c.frontmostApp = globals.contains(kToplevels);
    c.keys = globals.contains(kVirtualKeyboard) || globals.contains(kFakeInput);
    c.clipboard = globals.contains(kDataControl);
    // Only sway lets a client bind keys and buttons; elsewhere the desktop's
    // own shortcut settings run "rondix summon".
    c.hotkey = kind == Compositor::Sway;
    c.mouseButton = kind == Compositor::Sway;

    if (!c.ringAtPointer) {
        c.missing << QStringLiteral("no layer shell: the ring opens in the middle of the screen");
    }
    if (!c.hotkey) {
        c.missing << QStringLiteral("the hotkey cannot be set from Rondix here");
        if (kind == Compositor::KWin)
            c.advice << QStringLiteral(
                "System Settings > Shortcuts: give \"rondix summon\" a key (the Rondix KWin script does it "
                "for the recorded hotkey)");
        else if (kind == Compositor::Gnome)
            c.advice << QStringLiteral(
                "Settings > Keyboard > Custom Shortcuts: Rondix adds one that runs \"rondix summon\"; "
                "change its key there");
        else
            c.advice << QStringLiteral("bind \"rondix summon\" to a key in your desktop's shortcut settings");
    }
    if (!c.mouseButton)
        c.missing << QStringLiteral("the mouse button trigger needs sway");
    if (!c.frontmostApp)
        c.missing << QStringLiteral("the window in front is not known: every app gets the global ring");
    if (!c.keys) {
        c.missing << QStringLiteral("no virtual keyboard: shortcut and paste slots cannot send keys");
        if (kind == Compositor::KWin)
            c.advice << QStringLiteral(
                "KWin grants key input to the installed Rondix only: start it from its desktop entry "
                "(org.rondix.Rondix.desktop, with an absolute Exec path)");
        else if (kind == Compositor::Gnome)
            c.advice << QStringLiteral("GNOME lets no application send keys; use launch, open and URL slots");
    }
    if (!c.clipboard)
        c.missing << QStringLiteral("no clipboard access without focus: paste slots cannot fill the clipboard");
    if (kind == Compositor::KWin && !globals.contains(kPlasmaWindows) && !c.frontmostApp)
        c.advice << QStringLiteral(
            "KWin lists windows to the installed Rondix only: start it from its desktop entry");
    return c;
}

} // namespace WaylandCapabilities
