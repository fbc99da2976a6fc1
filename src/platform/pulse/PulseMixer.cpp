#include "platform/pulse/PulseMixer.h"

#include <algorithm>
#include <cmath>
#include <pulse/error.h>
#include <pulse/glib-mainloop.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

Q_LOGGING_CATEGORY(lcPulse, "rondix.pulse")

namespace {
constexpr int kInitialWaitMs = 200;
constexpr int kReconnectMs = 2000;
} // namespace

// Holds the threaded loop's lock for calls made from the main thread; with the
// GLib loop everything already runs on the main thread and this does nothing.
class PulseMixer::LoopLock
{
public:
    explicit LoopLock(pa_threaded_mainloop* loop)
        : m_loop(loop)
    {
        if (m_loop)
            pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock()
    {
        if (m_loop)
            pa_threaded_mainloop_unlock(m_loop);
    }

private:
    pa_threaded_mainloop* m_loop;
};

PulseMixer::PulseMixer(QObject* parent)
    : Mixer(parent)
{
    auto* dispatcher = QCoreApplication::instance() ? QCoreApplication::eventDispatcher() : nullptr;
    if (dispatcher && dispatcher->inherits("QEventDispatcherGlib")) {
        m_glibLoop = pa_glib_mainloop_new(nullptr);
        m_api = pa_glib_mainloop_get_api(m_glibLoop);
    } else {
        // Qt is not dispatching GLib sources: let libpulse run its own thread.
        m_threadedLoop = pa_threaded_mainloop_new();
        m_api = pa_threaded_mainloop_get_api(m_threadedLoop);
        pa_threaded_mainloop_start(m_threadedLoop);
    }
    qCDebug(lcPulse) << "main loop:" << (m_glibLoop ? "glib" : "threaded");

    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setSingleShot(true);
    m_reconnectTimer->setInterval(kReconnectMs);
    connect(m_reconnectTimer, &QTimer::timeout, this, &PulseMixer::connectToServer);
    connectToServer();
}

PulseMixer::~PulseMixer()
{
    if (m_threadedLoop)
        pa_threaded_mainloop_stop(m_threadedLoop);
    dropContext();
    if (m_threadedLoop)
        pa_threaded_mainloop_free(m_threadedLoop);
    if (m_glibLoop)
        pa_glib_mainloop_free(m_glibLoop);
}

void PulseMixer::toMain(std::function<void()> fn)
{
    if (m_glibLoop)
        fn();
    else
        QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void PulseMixer::dropContext()
{
    if (!m_context)
        return;
    LoopLock lock(m_threadedLoop);
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseMixer::connectToServer()
{
    dropContext();
    LoopLock lock(m_threadedLoop);
    m_context = pa_context_new(m_api, "Rondix");
    if (!m_context) {
        onContextState(PA_CONTEXT_FAILED);
        return;
    }
    pa_context_set_state_callback(m_context, &PulseMixer::contextStateCb, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        qCDebug(lcPulse) << "connect failed:" << pa_strerror(pa_context_errno(m_context));
        // Report from the event loop: the caller may be inside a wait for state.
        QMetaObject::invokeMethod(
            this, [this] { onContextState(PA_CONTEXT_FAILED); }, Qt::QueuedConnection);
    }
}

void PulseMixer::scheduleReconnect()
{
    if (!m_reconnectTimer->isActive())
        m_reconnectTimer->start();
}

void PulseMixer::waitForInitialState()
{
    if (m_ready || m_waitedOnce)
        return;
    m_waitedOnce = true;
    QEventLoop loop;
    connect(this, &PulseMixer::stateArrived, &loop, &QEventLoop::quit);
    QTimer::singleShot(kInitialWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// --- libpulse callbacks (the loop's thread when threaded) -------------------

void PulseMixer::contextStateCb(pa_context* c, void* userdata)
{
    auto* self = static_cast<PulseMixer*>(userdata);
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_READY) {
        pa_context_set_subscribe_callback(c, &PulseMixer::subscribeCb, self);
        const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation* op = pa_context_subscribe(c, mask, nullptr, nullptr))
            pa_operation_unref(op);
        if (pa_operation* op = pa_context_get_server_info(c, &PulseMixer::serverInfoCb, self))
            pa_operation_unref(op);
    }
    if (state == PA_CONTEXT_READY || state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        self->toMain([self, state] { self->onContextState(state); });
}

void PulseMixer::serverInfoCb(pa_context* c, const pa_server_info* info, void* userdata)
{
    auto* self = static_cast<PulseMixer*>(userdata);
    const QString name =
        info && info->default_sink_name ? QString::fromUtf8(info->default_sink_name) : QString();
    if (name.isEmpty()) {
        self->toMain([self] { self->onNoSink(); });
        return;
    }
    self->toMain([self, name] { self->onServerInfo(name); });
    if (pa_operation* op =
            pa_context_get_sink_info_by_name(c, info->default_sink_name, &PulseMixer::sinkInfoCb, self))
        pa_operation_unref(op);
}

void PulseMixer::sinkInfoCb(pa_context*, const pa_sink_info* info, int eol, void* userdata)
{
    auto* self = static_cast<PulseMixer*>(userdata);
    if (eol < 0) {
        self->toMain([self] { self->onNoSink(); });
        return;
    }
    if (!info)
        return;
    SinkState s;
    s.name = QString::fromUtf8(info->name);
    s.index = info->index;
    s.volume = info->volume;
    s.map = info->channel_map;
    s.muted = info->mute != 0;
    self->toMain([self, s] { self->onSink(s); });
}

void PulseMixer::subscribeCb(pa_context* c, pa_subscription_event_type_t type, quint32, void* userdata)
{
    const int facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    if (facility != PA_SUBSCRIPTION_EVENT_SINK && facility != PA_SUBSCRIPTION_EVENT_SERVER)
        return;
    // Any sink or server change may move the default: ask again from the top.
    if (pa_operation* op = pa_context_get_server_info(c, &PulseMixer::serverInfoCb, userdata))
        pa_operation_unref(op);
}

void PulseMixer::writeDoneCb(pa_context* c, int, void* userdata)
{
    auto* self = static_cast<PulseMixer*>(userdata);
    self->toMain([self] { self->onWriteDone(); });
    // Asked after the write, so the answer carries its result.
    if (pa_operation* op = pa_context_get_server_info(c, &PulseMixer::serverInfoCb, userdata))
        pa_operation_unref(op);
}

// --- main-thread state --------------------------------------------------------

void PulseMixer::onContextState(pa_context_state_t state)
{
    if (state == PA_CONTEXT_READY) {
        qCDebug(lcPulse) << "connected";
        return;
    }
    qCDebug(lcPulse) << "server gone or unreachable; reconnecting later";
    m_pendingWrites = 0;
    m_defaultSinkName.clear();
    const bool hadSink = m_sink.has_value();
    m_sink.reset();
    m_ready = true;
    Q_EMIT stateArrived();
    if (hadSink)
        Q_EMIT changed();
    scheduleReconnect();
}

void PulseMixer::onServerInfo(const QString& defaultSink)
{
    m_defaultSinkName = defaultSink;
}

void PulseMixer::onSink(const SinkState& sink)
{
    if (sink.name != m_defaultSinkName)
        return; // an answer for a sink that is no longer the default
    if (m_pendingWrites > 0 && m_sink && m_sink->name == sink.name)
        return; // older than the value mirrored at the write; a fresh answer follows its ack
    const bool differs = !m_sink || m_sink->name != sink.name || m_sink->muted != sink.muted ||
                         !pa_cvolume_equal(&m_sink->volume, &sink.volume);
    m_sink = sink;
    m_ready = true;
    Q_EMIT stateArrived();
    if (differs)
        Q_EMIT changed();
}

void PulseMixer::onWriteDone()
{
    if (m_pendingWrites > 0)
        --m_pendingWrites;
}

void PulseMixer::onNoSink()
{
    const bool hadSink = m_sink.has_value();
    m_sink.reset();
    m_ready = true;
    Q_EMIT stateArrived();
    if (hadSink)
        Q_EMIT changed();
}

// --- Mixer --------------------------------------------------------------------

std::optional<float> PulseMixer::volume()
{
    waitForInitialState();
    if (!m_sink || m_sink->volume.channels == 0)
        return std::nullopt;
    // A sink boosted past 100 % reads as full: the range callers step in ends there.
    return float(std::min(double(pa_cvolume_avg(&m_sink->volume)) / double(PA_VOLUME_NORM), 1.0));
}

pa_cvolume PulseMixer::volumeWithAverage(const pa_cvolume& current, pa_volume_t target)
{
    pa_cvolume v = current;
    const pa_volume_t average = pa_cvolume_avg(&current);
    if (average == 0) {
        // Silent on every channel: there is no balance to keep.
        pa_cvolume_set(&v, current.channels, target);
        return v;
    }
    // Every channel by the same factor: the balance stays and the average,
    // which is what reads back as the volume, lands on the target.
    const double factor = double(target) / double(average);
    for (quint8 i = 0; i < v.channels; ++i)
        v.values[i] = pa_volume_t(std::min(std::lround(double(current.values[i]) * factor), long(PA_VOLUME_MAX)));
    return v;
}

std::optional<bool> PulseMixer::muted()
{
    waitForInitialState();
    if (!m_sink)
        return std::nullopt;
    return m_sink->muted;
}

// Starts a write to the default sink (`start` makes the operation, under the
// loop lock) and counts it until the server acknowledges it.
bool PulseMixer::startWrite(const std::function<pa_operation*(const char* sink)>& start)
{
    const QByteArray name = m_sink->name.toUtf8();
    {
        LoopLock lock(m_threadedLoop);
        pa_operation* op = start(name.constData());
        if (!op)
            return false;
        pa_operation_unref(op);
    }
    ++m_pendingWrites;
    return true;
}

bool PulseMixer::setVolume(float value)
{
    waitForInitialState();
    if (!m_sink || !m_context || m_sink->volume.channels == 0)
        return false;
    const double clamped = std::clamp(double(value), 0.0, 1.0);
    const auto target = pa_volume_t(std::lround(clamped * double(PA_VOLUME_NORM)));
    // A sink boosted past 100 % reads as 1.0; asking for the top of the range
    // ("up" from there) must not pull it down to 100 %.
    if (target == PA_VOLUME_NORM && pa_cvolume_avg(&m_sink->volume) >= PA_VOLUME_NORM)
        return true;
    const pa_cvolume v = volumeWithAverage(m_sink->volume, target);
    if (!startWrite([&](const char* sink) {
            return pa_context_set_sink_volume_by_name(m_context, sink, &v, &PulseMixer::writeDoneCb, this);
        }))
        return false;
    // Mirror at once so a read right after the write (a second step) sees it.
    m_sink->volume = v;
    Q_EMIT changed();
    return true;
}

bool PulseMixer::setMuted(bool mute)
{
    waitForInitialState();
    if (!m_sink || !m_context)
        return false;
    if (!startWrite([&](const char* sink) {
            return pa_context_set_sink_mute_by_name(m_context, sink, mute ? 1 : 0, &PulseMixer::writeDoneCb,
                                                    this);
        }))
        return false;
    m_sink->muted = mute;
    Q_EMIT changed();
    return true;
}
