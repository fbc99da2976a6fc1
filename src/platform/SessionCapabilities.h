#pragma once

#include <QString>
#include <QStringList>

// What Rondix can do on this desktop session, for the permission guide and
// the tray: one place says it per desktop, the views only show it.
struct SessionCapabilities
{
    QString desktop;              // "X11", "sway", "KDE Plasma", "GNOME", or the compositor's name
    bool ringAtPointer = true;    // else the ring comes up in the middle of the screen
    bool hotkey = true;           // Rondix sets the hotkey itself
    bool mouseButton = true;      // the extra mouse button summons the ring
    bool frontmostApp = true;     // per-application rings follow the window in front
    bool keys = true;             // shortcut and paste slots send keys
    bool clipboard = true;        // paste slots fill the clipboard without focus
    QStringList missing;          // L10n keys, one per thing missing
    QStringList advice;           // L10n keys: what the user can do about it

    bool isComplete() const { return missing.isEmpty(); }
    bool operator==(const SessionCapabilities&) const = default;
    // The lines in the current language.
    QStringList missingTexts() const;
    QStringList adviceTexts() const;
    // One line that says what is missing; empty when nothing is.
    QString missingLine() const { return missingTexts().join(QStringLiteral("; ")); }
};
