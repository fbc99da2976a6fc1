#pragma once

#include <QObject>

// Short interface sounds.
class SoundPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Plays a sound file; `channel` identifies an instance so a new play on the
    // same channel restarts it. Returns false when it cannot be played.
    virtual bool playFile(const QString& path, int channel, double volume) = 0;
    // Plays a sound of the sound theme by its name ("audio-volume-change").
    virtual bool playThemeSound(const QString& name, double volume) = 0;
};
