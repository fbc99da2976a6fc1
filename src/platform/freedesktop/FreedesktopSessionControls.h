#pragma once

#include "platform/SessionControls.h"

class Opener;

// Session functions over D-Bus and the window manager. The desktop's own
// services are chosen at run time: GNOME Shell, KDE (KWin, KRunner) or the
// generic freedesktop ones (ScreenSaver, logind, the portal, MPRIS, EWMH).
class FreedesktopSessionControls : public SessionControls
{
    Q_OBJECT
public:
    explicit FreedesktopSessionControls(Opener* opener, QObject* parent = nullptr);

    bool perform(Control control, QString* missing) override;

    // Backlight step: a sixteenth of the range, at least one unit, clamped.
    static int brightnessStep(int current, int maximum, bool up);

private:
    bool overview(QString* missing);
    bool showDesktop(QString* missing);
    bool lock(QString* missing);
    bool brightness(bool up, QString* missing);
    bool screenshot(bool interactive, QString* missing);
    bool mediaPlayPause(QString* missing);
    bool launcher(QString* missing);
    bool fileManager(QString* missing);

    void setGnomeOverview(bool active);

    Opener* m_opener;
    int m_requestCounter = 0;
};
