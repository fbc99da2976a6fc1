#include "platform/freedesktop/CanberraSoundPlayer.h"

#include <canberra.h>
#include <cmath>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCanberra, "rondix.canberra")

namespace {
// Channels map to canberra ids 1...; theme sounds share one id of their own.
constexpr uint32_t kThemeSoundId = 0x7fff0000;
uint32_t idForChannel(int channel)
{
    return uint32_t(std::max(channel, 0)) + 1;
}
} // namespace

CanberraSoundPlayer::CanberraSoundPlayer(QObject* parent)
    : SoundPlayer(parent)
{
    m_worker.setMaxThreadCount(1);
    if (ca_context_create(&m_context) != CA_SUCCESS) {
        m_context = nullptr;
        return;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Rondix", CA_PROP_APPLICATION_ID,
                            "org.rondix.Rondix", nullptr);
}

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    m_worker.waitForDone();
    if (m_context)
        ca_context_destroy(m_context);
}

QByteArray CanberraSoundPlayer::decibels(double volume)
{
    if (volume >= 1.0)
        return QByteArrayLiteral("0.00");
    if (volume <= 0.001)
        return QByteArrayLiteral("-60.00");
    return QByteArray::number(20.0 * std::log10(volume), 'f', 2);
}

bool CanberraSoundPlayer::playFile(const QString& path, int channel, double volume)
{
    if (!m_context || !QFileInfo(path).isFile())
        return false;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray db = decibels(volume);
    const uint32_t id = idForChannel(channel);
    ca_context* ctx = m_context;
    m_worker.start([ctx, file, db, id] {
        ca_context_cancel(ctx, id); // a replay on the same channel restarts it
        const int rc = ca_context_play(ctx, id, CA_PROP_MEDIA_FILENAME, file.constData(),
                                       CA_PROP_CANBERRA_VOLUME, db.constData(), nullptr);
        if (rc != CA_SUCCESS)
            qCDebug(lcCanberra) << "play failed:" << file << ca_strerror(rc);
    });
    return true;
}

bool CanberraSoundPlayer::playThemeSound(const QString& name, double volume)
{
    if (!m_context || name.isEmpty())
        return false;
    const QByteArray event = name.toUtf8();
    const QByteArray db = decibels(volume);
    ca_context* ctx = m_context;
    m_worker.start([ctx, event, db] {
        ca_context_cancel(ctx, kThemeSoundId);
        const int rc = ca_context_play(ctx, kThemeSoundId, CA_PROP_EVENT_ID, event.constData(),
                                       CA_PROP_CANBERRA_VOLUME, db.constData(), nullptr);
        if (rc != CA_SUCCESS)
            qCDebug(lcCanberra) << "theme sound failed:" << event << ca_strerror(rc);
    });
    return true;
}
