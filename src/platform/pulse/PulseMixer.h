#pragma once

#include "platform/Mixer.h"

#include <functional>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/volume.h>
#include <QString>

struct pa_glib_mainloop;
struct pa_threaded_mainloop;
class QTimer;

// Volume and mute of PulseAudio's default sink (PipeWire's pulse server too).
// The server state is mirrored from subscription events so reads answer at
// once; only the very first read may wait briefly for the initial introspection.
class PulseMixer : public Mixer
{
    Q_OBJECT
public:
    explicit PulseMixer(QObject* parent = nullptr);
    ~PulseMixer() override;

    std::optional<float> volume() override;
    std::optional<bool> muted() override;
    bool setVolume(float value) override;
    bool setMuted(bool muted) override;

    // True once the server answered with its default sink (or said it has none).
    bool isReady() const { return m_ready; }

Q_SIGNALS:
    void stateArrived();

private:
    struct SinkState
    {
        QString name;
        quint32 index = 0;
        pa_cvolume volume{};
        pa_channel_map map{};
        bool muted = false;
    };

    // `current` with every channel scaled so that their average is `target`
    // (the balance between channels kept); all channels at `target` when silent.
    static pa_cvolume volumeWithAverage(const pa_cvolume& current, pa_volume_t target);
    void connectToServer();
    void dropContext();
    void scheduleReconnect();
    void waitForInitialState();
    void requestServerInfo();
    void requestSink(const QString& name);
    // Runs `fn` on the main thread: directly with the GLib loop, queued with the
    // threaded loop (whose callbacks run on the loop's own thread).
    void toMain(std::function<void()> fn);

    void onContextState(pa_context_state_t state);
    void onServerInfo(const QString& defaultSink);
    void onSink(const SinkState& sink);
    void onNoSink();
    void onWriteDone();

    static void contextStateCb(pa_context* c, void* self);
    static void serverInfoCb(pa_context* c, const pa_server_info* info, void* self);
    static void sinkInfoCb(pa_context* c, const pa_sink_info* info, int eol, void* self);
    static void subscribeCb(pa_context* c, pa_subscription_event_type_t type, quint32 idx, void* self);
    static void writeDoneCb(pa_context* c, int success, void* self);
    bool startWrite(const std::function<pa_operation*(const char* sink)>& start);

    class LoopLock;

    pa_glib_mainloop* m_glibLoop = nullptr;
    pa_threaded_mainloop* m_threadedLoop = nullptr;
    pa_mainloop_api* m_api = nullptr;
    pa_context* m_context = nullptr;
    QTimer* m_reconnectTimer = nullptr;

    // Main-thread mirror of the server.
    bool m_ready = false;
    bool m_waitedOnce = false;
    QString m_defaultSinkName;
    std::optional<SinkState> m_sink;
    // Writes sent but not yet acknowledged. Sink answers that arrive meanwhile
    // were asked for before the write and would undo the mirrored value.
    int m_pendingWrites = 0;
};
