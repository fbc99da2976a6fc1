// Measures the ring from the outside, the way a user meets it: a hotkey press
// injected with XTest, then the panel's MapNotify and its first DAMAGE (first
// paint), both seen on the X server. Also: resident memory after the first
// summon, context switches while idle, and start-up time to a ready shell.
//
// On Wayland (inside tests/session/run-wayland-session, sway): the hotkey is
// pressed on a virtual keyboard (rondix_wl_input), sway runs Rondix's binding,
// and the figure ends when sway reports the ring's first frame shown (the
// frame callback, which Rondix prints under RONDIX_TRACE_FRAMES).
#include "RondixHome.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ctime>
#include <poll.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <vector>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace {

constexpr int kSummons = 50;
constexpr int kStarts = 5;
const QString kService = QStringLiteral("org.rondix.Rondix");

// Keysyms (X11/keysymdef.h).
constexpr xcb_keysym_t XK_r = 0x72, XK_Control_L = 0xffe3, XK_Alt_L = 0xffe9, XK_Escape = 0xff1b;

QTextStream out(stdout);

struct X
{
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    xcb_key_symbols_t* syms = nullptr;
    uint8_t damageEvent = 0;
    xcb_window_t panel = 0;
    xcb_damage_damage_t damage = 0;

    xcb_keycode_t keycode(xcb_keysym_t sym)
    {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(syms, sym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        free(codes);
        return code;
    }
    void key(xcb_keysym_t sym, bool press)
    {
        xcb_test_fake_input(c, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode(sym), XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
    }
    void motion(int x, int y)
    {
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, x, y, 0);
        xcb_flush(c);
    }
    void watchPanel(xcb_window_t w)
    {
        if (panel == w)
            return;
        if (damage)
            xcb_damage_destroy(c, damage);
        panel = w;
        damage = xcb_generate_id(c);
        xcb_damage_create(c, damage, w, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(c);
    }

    // Waits for the first event `match` accepts; none after `timeoutMs`.
    template<typename Match> bool waitFor(int timeoutMs, Match match)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
                const bool done = handle(e, match);
                free(e);
                if (done)
                    return true;
            }
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&fd, 1, 5);
        }
        return false;
    }

    template<typename Match> bool handle(xcb_generic_event_t* e, Match& match)
    {
        const uint8_t type = e->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            auto* ev = reinterpret_cast<xcb_create_notify_event_t*>(e);
            if (ev->override_redirect)
                watchPanel(ev->window); // before it maps, so the first paint is seen too
        } else if (type == XCB_MAP_NOTIFY) {
            auto* ev = reinterpret_cast<xcb_map_notify_event_t*>(e);
            if (ev->override_redirect)
                watchPanel(ev->window);
        } else if (type == damageEvent + XCB_DAMAGE_NOTIFY) {
            auto* ev = reinterpret_cast<xcb_damage_notify_event_t*>(e);
            xcb_damage_subtract(c, ev->damage, XCB_NONE, XCB_NONE);
            xcb_flush(c);
        }
        return match(type, e);
    }
};

struct Figures
{
    double p50 = 0, p95 = 0, max = 0;

    QString text() const
    {
        return QStringLiteral("p50 %1 ms, p95 %2 ms, max %3 ms")
            .arg(p50, 0, 'f', 2)
            .arg(p95, 0, 'f', 2)
            .arg(max, 0, 'f', 2);
    }
};

Figures percentiles(std::vector<double> v)
{
    Figures f;
    if (v.empty())
        return f;
    std::sort(v.begin(), v.end());
    f.p50 = v[v.size() / 2];
    f.p95 = v[std::min(v.size() - 1, size_t(v.size() * 0.95))];
    f.max = v.back();
    return f;
}

void line(const QString& what, const QString& figure, const QString& target, std::optional<bool> met)
{
    out << qSetFieldWidth(38) << Qt::left << what << qSetFieldWidth(0) << qSetFieldWidth(44) << figure
        << qSetFieldWidth(0) << "target " << target;
    if (met)
        out << (*met ? "  ok" : "  MISSED");
    out << Qt::endl;
}

qint64 statusField(qint64 pid, const QByteArray& field, bool allThreads)
{
    QStringList files;
    if (allThreads) {
        for (const QString& t :
             QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            files << QStringLiteral("/proc/%1/task/%2/status").arg(pid).arg(t);
    } else {
        files << QStringLiteral("/proc/%1/status").arg(pid);
    }
    qint64 sum = 0;
    for (const QString& name : files) {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& l : f.readAll().split('\n'))
            if (l.startsWith(QByteArray(field + ':')))
                sum += l.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return sum;
}

qint64 smapsField(qint64 pid, const QByteArray& field)
{
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith(QByteArray(field + ':')))
            return l.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

qint64 wakeups(qint64 pid)
{
    return statusField(pid, "voluntary_ctxt_switches", true) +
           statusField(pid, "nonvoluntary_ctxt_switches", true);
}

// Idle: no ring, no input, nothing should wake the process.
void reportIdleWakeups(qint64 pid)
{
    QThread::msleep(500);
    const qint64 before = wakeups(pid);
    QThread::sleep(10);
    const qint64 idle = wakeups(pid) - before;
    line(QStringLiteral("wake-ups while idle (10 s)"), QStringLiteral("%1 context switches").arg(idle),
         QStringLiteral("0 (no timers or polling)"), idle == 0);
}

// Starts rondix and returns the milliseconds until its bus name appears and
// until it logged the end of its start-up.
bool startRondix(QProcess& p, const QProcessEnvironment& env, double* nameMs, double* launchedMs)
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    p.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"));
    *nameMs = *launchedMs = -1;
    QByteArray log;
    while (timer.elapsed() < 10000 && (*nameMs < 0 || *launchedMs < 0)) {
        if (*nameMs < 0 && bus->isServiceRegistered(kService).value())
            *nameMs = timer.nsecsElapsed() / 1e6;
        p.waitForReadyRead(1);
        log += p.readAllStandardOutput();
        if (*launchedMs < 0 && log.contains("[Rondix] Application launched successfully."))
            *launchedMs = timer.nsecsElapsed() / 1e6;
    }
    return *nameMs >= 0 && *launchedMs >= 0;
}

void stopRondix(QProcess& p)
{
    RondixHome::stop(p);
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    for (int i = 0; i < 500 && bus->isServiceRegistered(kService).value(); ++i)
        QThread::msleep(10);
}

qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// One line to the virtual input devices; true once the compositor has it.
bool tell(QProcess& input, const QByteArray& line)
{
    input.write(line + '\n');
    QByteArray answer;
    QElapsedTimer t;
    t.start();
    while (!answer.contains('\n') && t.elapsed() < 3000) {
        input.waitForReadyRead(5);
        answer += input.readAllStandardOutput();
    }
    return answer.startsWith("ok");
}

int waylandMain(const QProcessEnvironment& baseEnv)
{
    QProcessEnvironment env = baseEnv;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("RONDIX_TRACE_FRAMES"), QStringLiteral("1"));
    QProcess input;
    input.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix_wl_input"), {QStringLiteral("1280"), QStringLiteral("800")});
    if (!input.waitForStarted() || !input.waitForReadyRead(5000)) {
        out << "bench_summon: rondix_wl_input did not start" << Qt::endl;
        return 1;
    }
    input.readAllStandardOutput();
    tell(input, "move 640 400");

    QProcess rondix;
    double nameMs, launchedMs;
    if (!startRondix(rondix, env, &nameMs, &launchedMs)) {
        out << "bench_summon: rondix did not start" << Qt::endl;
        return 1;
    }
    rondix.readAllStandardOutput();
    // evdev codes: Left Ctrl, Left Alt, R, Escape.
    std::vector<double> frameTimes, commitTimes;
    int failures = 0;
    for (int i = 0; i < kSummons; ++i) {
        const qint64 pressed = monotonicNs();
        tell(input, "keydown 29");
        tell(input, "keydown 56");
        tell(input, "key 19");
        const qint64 sent = monotonicNs();
        QByteArray log;
        auto traced = [&log](const QByteArray& what) -> qint64 {
            const QByteArray tag = "[trace] ring first " + what + ' ';
            const qsizetype at = log.indexOf(tag);
            const qsizetype end = at >= 0 ? log.indexOf('\n', at) : -1;
            return end > at ? log.mid(at + tag.size(), end - at - tag.size()).trimmed().toLongLong() : -1;
        };
        qint64 shown = -1;
        QElapsedTimer t;
        t.start();
        while (shown < 0 && t.elapsed() < 2000) {
            rondix.waitForReadyRead(5);
            log += rondix.readAllStandardOutput();
            shown = traced("frame");
        }
        const qint64 committed = traced("commit");
        tell(input, "keyup 56");
        tell(input, "keyup 29");
        if (shown > 0) {
            // From the moment the last key went out; the two modifier presses
            // before it are the hand's, not Rondix's.
            frameTimes.push_back((shown - sent) / 1e6);
            if (committed > 0)
                commitTimes.push_back((committed - sent) / 1e6);
        } else {
            ++failures;
        }
        Q_UNUSED(pressed);
        QThread::msleep(5);
        tell(input, "key 1");
        QThread::msleep(60);
    }
    const Figures commit = percentiles(commitTimes);
    line(QStringLiteral("hotkey -> ring painted and committed"), commit.text(),
         QStringLiteral("(the X11 run's first paint)"), std::nullopt);
    const Figures frame = percentiles(frameTimes);
    line(QStringLiteral("hotkey -> first frame shown (sway)"), frame.text(),
         QStringLiteral("within a 60 Hz frame (16.7 ms)"), !frameTimes.empty() && frame.p95 < 16.7);
    if (failures)
        out << "  (" << failures << " of " << kSummons << " summons showed no ring within 2 s)" << Qt::endl;
    const qint64 pid = rondix.processId();
    line(QStringLiteral("resident memory after the summons"),
         QStringLiteral("%1 MB").arg(statusField(pid, "VmRSS", false) / 1024.0, 0, 'f', 1), QStringLiteral("< 40 MB"),
         std::nullopt);
    reportIdleWakeups(pid);
    stopRondix(rondix);
    input.kill();
    input.waitForFinished();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        QDBusConnection::sessionBus().isConnected()) {
        const RondixHome home;
        if (!home.writeSettings("launchAtLogin=false\n")) {
            out << "bench_summon: cannot write the settings" << Qt::endl;
            return 1;
        }
        QSettings(home.path(QStringLiteral("config/Rondix/Rondix.conf")), QSettings::IniFormat)
            .setValue(QStringLiteral("user_configured_hotkey_v1"),
                      QStringLiteral("{\"keyCode\":15,\"carbonModifiers\":6144,\"displayString\":\"⌃⌥R\"}"));
        out << "Rondix summon benchmark on Wayland (" << kSummons << " summons)" << Qt::endl;
        return waylandMain(home.env);
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected()) {
        out << "bench_summon: run inside tests/session/run-session (X11) or tests/session/run-wayland-session "
               "(sway), with a session bus" << Qt::endl;
        return 1;
    }
    if (QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value()) {
        out << "bench_summon: another Rondix is running on this bus" << Qt::endl;
        return 1;
    }

    const RondixHome home;
    if (!home.writeSettings("launchAtLogin=false\n")) {
        out << "bench_summon: cannot write the settings" << Qt::endl;
        return 1;
    }
    // A hotkey no window manager binds by default: Control+Option+R.
    QSettings(home.path(QStringLiteral("config/Rondix/Rondix.conf")), QSettings::IniFormat)
        .setValue(QStringLiteral("user_configured_hotkey_v1"),
                  QStringLiteral("{\"keyCode\":15,\"carbonModifiers\":6144,\"displayString\":\"⌃⌥R\"}"));
    const QProcessEnvironment env = home.env;

    out << "Rondix summon benchmark (" << kSummons << " summons, " << kStarts << " starts)" << Qt::endl;

    // Start-up.
    std::vector<double> nameTimes, launchTimes;
    for (int i = 0; i < kStarts; ++i) {
        QProcess p;
        double nameMs, launchedMs;
        if (startRondix(p, env, &nameMs, &launchedMs)) {
            nameTimes.push_back(nameMs);
            launchTimes.push_back(launchedMs);
        }
        stopRondix(p);
    }
    const Figures name = percentiles(nameTimes), launched = percentiles(launchTimes);
    line(QStringLiteral("start -> D-Bus name"),
         QStringLiteral("p50 %1 ms, max %2 ms").arg(name.p50, 0, 'f', 1).arg(name.max, 0, 'f', 1),
         QStringLiteral("< 250 ms"), !nameTimes.empty() && name.p50 < 250);
    line(QStringLiteral("start -> shell ready (log line)"),
         QStringLiteral("p50 %1 ms, max %2 ms").arg(launched.p50, 0, 'f', 1).arg(launched.max, 0, 'f', 1),
         QStringLiteral("< 250 ms"), !launchTimes.empty() && launched.p50 < 250);

    // Summons.
    X x;
    x.c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x.c)) {
        out << "bench_summon: cannot reach the X server" << Qt::endl;
        return 1;
    }
    x.root = xcb_setup_roots_iterator(xcb_get_setup(x.c)).data->root;
    x.syms = xcb_key_symbols_alloc(x.c);
    const xcb_query_extension_reply_t* damageExt = xcb_get_extension_data(x.c, &xcb_damage_id);
    if (!damageExt || !damageExt->present) {
        out << "bench_summon: the X server lacks DAMAGE" << Qt::endl;
        return 1;
    }
    x.damageEvent = damageExt->first_event;
    free(xcb_damage_query_version_reply(x.c, xcb_damage_query_version(x.c, 1, 1), nullptr));
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.c, x.root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x.c);

    QProcess rondix;
    double nameMs, launchedMs;
    if (!startRondix(rondix, env, &nameMs, &launchedMs)) {
        out << "bench_summon: rondix did not start" << Qt::endl;
        return 1;
    }
    const qint64 pid = rondix.processId();
    x.motion(700, 450);
    QThread::msleep(100);

    std::vector<double> mapTimes, paintTimes;
    qint64 rssAfterFirst = -1;
    qint64 pssAfterFirst = -1;
    int failures = 0;
    int missedEscapes = 0;
    for (int i = 0; i < kSummons; ++i) {
        QElapsedTimer timer;
        timer.start();
        x.key(XK_Control_L, true);
        x.key(XK_Alt_L, true);
        x.key(XK_r, true);
        xcb_flush(x.c);
        double mapped = -1, painted = -1;
        const bool ok = x.waitFor(2000, [&](uint8_t type, xcb_generic_event_t* e) {
            if (type == XCB_MAP_NOTIFY && reinterpret_cast<xcb_map_notify_event_t*>(e)->window == x.panel &&
                mapped < 0)
                mapped = timer.nsecsElapsed() / 1e6;
            if (type == x.damageEvent + XCB_DAMAGE_NOTIFY && mapped >= 0 &&
                reinterpret_cast<xcb_damage_notify_event_t*>(e)->drawable == x.panel)
                painted = timer.nsecsElapsed() / 1e6;
            return painted >= 0;
        });
        x.key(XK_r, false);
        x.key(XK_Alt_L, false);
        x.key(XK_Control_L, false);
        xcb_flush(x.c);
        if (ok) {
            mapTimes.push_back(mapped);
            paintTimes.push_back(painted);
        } else {
            ++failures;
            if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
                out << "summon " << i << ": mapped " << mapped << " painted " << painted << Qt::endl;
        }
        if (i == 0) {
            QThread::msleep(300); // let the spring-in settle before reading memory
            rssAfterFirst = statusField(pid, "VmRSS", false);
            pssAfterFirst = smapsField(pid, "Pss");
        }
        // Close the ring again, a few milliseconds later as a hand would: an
        // Escape sent the very moment the ring maps can come before the ring
        // listens for it (BENCH_ESCAPE_DELAY_MS=0 shows how often); count those
        // and send another.
        bool closed = false;
        bool delaySet = false;
        const int escapeDelay = qEnvironmentVariableIntValue("BENCH_ESCAPE_DELAY_MS", &delaySet);
        QThread::msleep(delaySet ? escapeDelay : 5);
        for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
            x.key(XK_Escape, true);
            x.key(XK_Escape, false);
            xcb_flush(x.c);
            closed = x.waitFor(500, [&](uint8_t type, xcb_generic_event_t* e) {
                return type == XCB_UNMAP_NOTIFY &&
                       reinterpret_cast<xcb_unmap_notify_event_t*>(e)->window == x.panel;
            });
            if (!closed)
                ++missedEscapes;
        }
        QThread::msleep(20);
    }

    const Figures map = percentiles(mapTimes), paint = percentiles(paintTimes);
    line(QStringLiteral("hotkey -> panel mapped"), map.text(), QStringLiteral("(see first paint)"),
         std::nullopt);
    line(QStringLiteral("hotkey -> first paint (DAMAGE)"), paint.text(), QStringLiteral("p95 < 5 ms"),
         !paintTimes.empty() && paint.p95 < 5);
    if (failures)
        out << "  (" << failures << " of " << kSummons << " summons showed no ring within 2 s)" << Qt::endl;
    if (missedEscapes)
        out << "  (" << missedEscapes << " Escape presses right after the ring appeared did not close it)"
            << Qt::endl;
    line(QStringLiteral("resident memory after first summon"),
         QStringLiteral("%1 MB").arg(rssAfterFirst / 1024.0, 0, 'f', 1), QStringLiteral("< 40 MB"),
         rssAfterFirst > 0 && rssAfterFirst < 40 * 1024);

    // Resident pages include shared libraries other programs map too; the
    // proportional figure charges Rondix only its share of them.
    line(QStringLiteral("  proportional (PSS)"),
         QStringLiteral("%1 MB").arg(pssAfterFirst / 1024.0, 0, 'f', 1), QStringLiteral("(breakdown)"),
         std::nullopt);

    reportIdleWakeups(pid);

    stopRondix(rondix);
    xcb_key_symbols_free(x.syms);
    xcb_disconnect(x.c);
    return 0;
}
