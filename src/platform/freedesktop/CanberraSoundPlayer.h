#pragma once

#include "platform/SoundPlayer.h"

#include <QThreadPool>

struct ca_context;

// Interface sounds through libcanberra. Plays are handed to one worker thread,
// in order, so a slow sound server never holds up the main thread.
class CanberraSoundPlayer : public SoundPlayer
{
    Q_OBJECT
public:
    explicit CanberraSoundPlayer(QObject* parent = nullptr);
    ~CanberraSoundPlayer() override;

    bool playFile(const QString& path, int channel, double volume) override;
    bool playThemeSound(const QString& name, double volume) override;

    // 0...1 to canberra's decibel attenuation ("0.0" is full volume).
    static QByteArray decibels(double volume);

private:
    ca_context* m_context = nullptr;
    QThreadPool m_worker;
};
