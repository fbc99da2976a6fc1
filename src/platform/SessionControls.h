#pragma once

#include <QObject>

// Desktop functions that belong to the session: overview, show desktop, lock,
// brightness, screenshots, media keys, launcher, file manager.
class SessionControls : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    enum class Control {
        Overview,
        ShowDesktop,
        Lock,
        BrightnessUp,
        BrightnessDown,
        ScreenshotArea,
        ScreenshotScreen,
        MediaPlayPause,
        Launcher,
        FileManager,
    };
    Q_ENUM(Control)

    // Performs the control. When the session cannot do it, returns false and
    // sets *missing to what is missing ("no MPRIS player is playing").
    virtual bool perform(Control control, QString* missing) = 0;
};
