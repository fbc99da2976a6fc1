#include "hud/SoundFeedback.h"

#include "common/AppSettings.h"
#include "common/Clock.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcSound, "rondix.hud.sound")

namespace {

const QString kEnabledKey = QStringLiteral("soundEnabled");

// The player decodes by path, so a file only counts when it looks like audio
// it can decode; an empty or truncated file would fail silently at play time.
bool looksPlayable(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(12);
    if (head.size() < 12)
        return false;
    return (head.startsWith("RIFF") && head.mid(8, 4) == "WAVE") || head.startsWith("OggS");
}

} // namespace

SoundFeedback::SoundFeedback(SoundPlayer* player, Clock& clock, const QStringList& soundDirectories,
                             QObject* parent)
    : QObject(parent)
    , m_player(player)
    , m_clock(clock)
    , m_directories(soundDirectories)
{
    reloadSounds();
}

SoundFeedback& SoundFeedback::shared()
{
    static SoundFeedback* instance =
        new SoundFeedback(Platform::instance().sounds, Clock::system(), defaultSoundDirectories());
    return *instance;
}

QStringList SoundFeedback::defaultSoundDirectories()
{
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/rondix/sounds");
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << data + QStringLiteral("/rondix/sounds");
    return dirs;
}

void SoundFeedback::reloadSounds()
{
    m_hoverPool = createSoundPool(QStringLiteral("hover_tap"), kHoverPoolSize, 0);
    m_triggerPool = createSoundPool(QStringLiteral("trigger_click"), kTriggerPoolSize, kHoverPoolSize);
}

SoundFeedback::Pool SoundFeedback::createSoundPool(const QString& name, int poolSize, int firstChannel) const
{
    Pool pool;
    for (const QString& dir : m_directories) {
        const QString path = QDir::cleanPath(dir + QLatin1Char('/') + name + QStringLiteral(".wav"));
        if (looksPlayable(path)) {
            pool.path = QFileInfo(path).absoluteFilePath();
            break;
        }
    }
    if (pool.path.isEmpty()) {
        qCDebug(lcSound) << "no sound file for" << name;
        return pool;
    }
    for (int i = 0; i < poolSize; ++i)
        pool.channels << firstChannel + i;
    return pool;
}

bool SoundFeedback::isSoundEnabled() const
{
    return AppSettings::boolValue(kEnabledKey, false);
}

void SoundFeedback::setSoundEnabled(bool enabled)
{
    if (enabled == isSoundEnabled() && AppSettings::contains(kEnabledKey))
        return;
    AppSettings::setValue(kEnabledKey, enabled);
    Q_EMIT soundEnabledChanged();
}

void SoundFeedback::playHover()
{
    if (!isSoundEnabled())
        return;
    const double t = m_clock.now();
    if (t - m_lastHoverSoundTime <= kHoverThrottle)
        return;
    m_lastHoverSoundTime = t;
    play(m_hoverPool, QStringLiteral("dialog-information"), kHoverFallbackVolume);
}

void SoundFeedback::playTrigger()
{
    if (!isSoundEnabled())
        return;
    play(m_triggerPool, QStringLiteral("message"), kTriggerFallbackVolume);
}

void SoundFeedback::play(Pool& pool, const QString& fallback, double fallbackVolume)
{
    if (!m_player)
        return;
    if (pool.channels.isEmpty()) {
        m_player->playThemeSound(fallback, fallbackVolume);
        return;
    }
    const int channel = pool.channels.at(pool.next % pool.channels.size());
    pool.next = (pool.next + 1) % pool.channels.size();
    // A new play on a channel that is still sounding restarts it from the top.
    m_player->playFile(pool.path, channel, kPoolVolume);
}
