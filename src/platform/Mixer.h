#pragma once

#include <QObject>

#include <optional>

// Output volume and mute of the default sink.
class Mixer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // 0...1, none when there is no server or no default output.
    virtual std::optional<float> volume() = 0;
    // None when the mute state cannot be read.
    virtual std::optional<bool> muted() = 0;
    // Return false when there is no default output to write to.
    virtual bool setVolume(float value) = 0;
    virtual bool setMuted(bool muted) = 0;

Q_SIGNALS:
    // The server reported a change of the default output's volume or mute.
    void changed();
};
