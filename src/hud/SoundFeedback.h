#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QStringList>

class Clock;
class SoundPlayer;

Q_DECLARE_LOGGING_CATEGORY(lcSound)

// The ring's interface sounds: a tap when the pointer enters a sector, a click
// when an action fires. Each sound has a small pool of player channels used in
// turn so quick sweeps can overlap; the hover tap is throttled to one per 35 ms.
class SoundFeedback : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isSoundEnabled READ isSoundEnabled WRITE setSoundEnabled NOTIFY soundEnabledChanged)
public:
    static constexpr int kHoverPoolSize = 4;
    static constexpr int kTriggerPoolSize = 2;
    static constexpr double kHoverThrottle = 0.035;
    static constexpr double kPoolVolume = 0.95;
    static constexpr double kHoverFallbackVolume = 0.6;
    static constexpr double kTriggerFallbackVolume = 0.7;

    // `soundDirectories` are searched in order for "hover_tap.wav" and
    // "trigger_click.wav".
    SoundFeedback(SoundPlayer* player, Clock& clock, const QStringList& soundDirectories,
                  QObject* parent = nullptr);

    static SoundFeedback& shared();
    // Installed copy beside the binary, the system data folders, the source tree.
    static QStringList defaultSoundDirectories();

    void playHover();
    void playTrigger();
    void reloadSounds();

    bool isSoundEnabled() const;
    void setSoundEnabled(bool enabled);

    // Channels of each pool (empty when the file is missing or unreadable).
    QList<int> hoverChannels() const { return m_hoverPool.channels; }
    QList<int> triggerChannels() const { return m_triggerPool.channels; }
    QString hoverFile() const { return m_hoverPool.path; }
    QString triggerFile() const { return m_triggerPool.path; }

Q_SIGNALS:
    void soundEnabledChanged();

private:
    struct Pool
    {
        QString path;
        QList<int> channels;
        int next = 0;
    };
    Pool createSoundPool(const QString& name, int poolSize, int firstChannel) const;
    void play(Pool& pool, const QString& fallback, double fallbackVolume);

    SoundPlayer* m_player;
    Clock& m_clock;
    QStringList m_directories;
    Pool m_hoverPool;
    Pool m_triggerPool;
    double m_lastHoverSoundTime = 0.0;
};
