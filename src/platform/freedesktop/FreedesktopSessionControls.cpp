#include "platform/freedesktop/FreedesktopSessionControls.h"

#include "platform/Opener.h"
#include "platform/freedesktop/SessionBus.h"

#include <memory>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <xcb/xcb.h>

Q_LOGGING_CATEGORY(lcSession, "rondix.session")

namespace {

const QString kGnomeShell = QStringLiteral("org.gnome.Shell");
const QString kKGlobalAccel = QStringLiteral("org.kde.kglobalaccel");
const QString kKRunner = QStringLiteral("org.kde.krunner");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kMprisPrefix = QStringLiteral("org.mpris.MediaPlayer2.");

void callAsync(const QString& service, const QString& path, const QString& iface, const QString& method,
               const QVariantList& args = {}, QDBusConnection bus = QDBusConnection::sessionBus())
{
    QDBusMessage msg = QDBusMessage::createMethodCall(service, path, iface, method);
    msg.setArguments(args);
    bus.asyncCall(msg);
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    auto cookie = xcb_intern_atom(c, 0, uint16_t(strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                    &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

FreedesktopSessionControls::FreedesktopSessionControls(Opener* opener, QObject* parent)
    : SessionControls(parent)
    , m_opener(opener)
{}

int FreedesktopSessionControls::brightnessStep(int current, int maximum, bool up)
{
    if (maximum <= 0)
        return 0;
    const int step = std::max(1, (maximum + 8) / 16);
    return std::clamp(current + (up ? step : -step), 0, maximum);
}

bool FreedesktopSessionControls::perform(Control control, QString* missing)
{
    QString reason;
    bool ok = false;
    switch (control) {
    case Control::Overview:
        ok = overview(&reason);
        break;
    case Control::ShowDesktop:
        ok = showDesktop(&reason);
        break;
    case Control::Lock:
        ok = lock(&reason);
        break;
    case Control::BrightnessUp:
        ok = brightness(true, &reason);
        break;
    case Control::BrightnessDown:
        ok = brightness(false, &reason);
        break;
    case Control::ScreenshotArea:
        ok = screenshot(true, &reason);
        break;
    case Control::ScreenshotScreen:
        ok = screenshot(false, &reason);
        break;
    case Control::MediaPlayPause:
        ok = mediaPlayPause(&reason);
        break;
    case Control::Launcher:
        ok = launcher(&reason);
        break;
    case Control::FileManager:
        ok = fileManager(&reason);
        break;
    }
    if (!ok && missing)
        *missing = reason;
    qCDebug(lcSession) << control << ok << reason;
    return ok;
}

void FreedesktopSessionControls::setGnomeOverview(bool active)
{
    callAsync(kGnomeShell, QStringLiteral("/org/gnome/Shell"), kPropertiesIface, QStringLiteral("Set"),
              {kGnomeShell, QStringLiteral("OverviewActive"), QVariant::fromValue(QDBusVariant(active))});
}

bool FreedesktopSessionControls::overview(QString* missing)
{
    if (sessionServiceAvailable(kGnomeShell)) {
        // A toggle, as the key does: read the state, then flip it.
        QDBusMessage get = QDBusMessage::createMethodCall(kGnomeShell, QStringLiteral("/org/gnome/Shell"),
                                                          kPropertiesIface, QStringLiteral("Get"));
        get << kGnomeShell << QStringLiteral("OverviewActive");
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            QDBusPendingReply<QDBusVariant> reply = *w;
            setGnomeOverview(reply.isValid() ? !reply.value().variant().toBool() : true);
            w->deleteLater();
        });
        return true;
    }
    if (sessionServiceAvailable(kKGlobalAccel)) {
        callAsync(kKGlobalAccel, QStringLiteral("/component/kwin"),
                  QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("invokeShortcut"),
                  {QStringLiteral("Overview")});
        return true;
    }
    *missing = QStringLiteral("no window overview (needs GNOME Shell or KWin)");
    return false;
}

bool FreedesktopSessionControls::showDesktop(QString* missing)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) {
        *missing = QStringLiteral("no X11 connection for _NET_SHOWING_DESKTOP");
        return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t showing = internAtom(c, "_NET_SHOWING_DESKTOP");
    const xcb_atom_t supported = internAtom(c, "_NET_SUPPORTED");
    if (!screen || showing == XCB_ATOM_NONE) {
        *missing = QStringLiteral("no X11 screen");
        return false;
    }
    auto supCookie = xcb_get_property(c, 0, screen->root, supported, XCB_ATOM_ATOM, 0, 1024);
    auto curCookie = xcb_get_property(c, 0, screen->root, showing, XCB_ATOM_CARDINAL, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> sup(
        xcb_get_property_reply(c, supCookie, nullptr), &free);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> cur(
        xcb_get_property_reply(c, curCookie, nullptr), &free);
    bool isSupported = false;
    if (sup && sup->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(sup.get()));
        const int n = xcb_get_property_value_length(sup.get()) / 4;
        for (int i = 0; i < n && !isSupported; ++i)
            isSupported = atoms[i] == showing;
    }
    if (!isSupported) {
        *missing = QStringLiteral("the window manager does not support _NET_SHOWING_DESKTOP");
        return false;
    }
    bool showingNow = false;
    if (cur && cur->format == 32 && xcb_get_property_value_length(cur.get()) >= 4)
        showingNow = *static_cast<const uint32_t*>(xcb_get_property_value(cur.get())) != 0;

    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = screen->root;
    ev.type = showing;
    ev.data.data32[0] = showingNow ? 0 : 1;
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
    return true;
}

bool FreedesktopSessionControls::lock(QString* missing)
{
    if (sessionServiceAvailable(QStringLiteral("org.freedesktop.ScreenSaver"))) {
        callAsync(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/ScreenSaver"),
                  QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Lock"));
        return true;
    }
    if (sessionServiceAvailable(QStringLiteral("org.gnome.ScreenSaver"))) {
        callAsync(QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"),
                  QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("Lock"));
        return true;
    }
    // loginctl only helps where logind runs.
    const QString loginctl = QStandardPaths::findExecutable(QStringLiteral("loginctl"));
    QDBusConnectionInterface* system = QDBusConnection::systemBus().interface();
    const bool logind =
        system && system->isServiceRegistered(QStringLiteral("org.freedesktop.login1")).value();
    if (!loginctl.isEmpty() && logind && QProcess::startDetached(loginctl, {QStringLiteral("lock-session")}))
        return true;
    *missing =
        QStringLiteral("no screen locker (org.freedesktop.ScreenSaver, org.gnome.ScreenSaver or loginctl)");
    return false;
}

bool FreedesktopSessionControls::brightness(bool up, QString* missing)
{
    const QDir dir(QStringLiteral("/sys/class/backlight"));
    const QStringList devices = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    if (devices.isEmpty()) {
        *missing = QStringLiteral("no backlight device in /sys/class/backlight");
        return false;
    }
    const QString device = devices.first();
    auto readInt = [&](const QString& file) {
        QFile f(dir.filePath(device + QLatin1Char('/') + file));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toInt() : -1;
    };
    const int current = readInt(QStringLiteral("brightness"));
    const int maximum = readInt(QStringLiteral("max_brightness"));
    if (current < 0 || maximum <= 0) {
        *missing = QStringLiteral("backlight %1 is not readable").arg(device);
        return false;
    }
    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected()) {
        *missing = QStringLiteral("no system bus for logind");
        return false;
    }
    const int value = brightnessStep(current, maximum, up);
    callAsync(QStringLiteral("org.freedesktop.login1"),
              QStringLiteral("/org/freedesktop/login1/session/auto"),
              QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("SetBrightness"),
              {QStringLiteral("backlight"), device, QVariant::fromValue(uint(value))}, system);
    return true;
}

bool FreedesktopSessionControls::screenshot(bool interactive, QString* missing)
{
    if (!sessionServiceAvailable(kPortal, true)) {
        *missing = QStringLiteral("no xdg-desktop-portal Screenshot service");
        return false;
    }
    QVariantMap options;
    options.insert(QStringLiteral("interactive"), interactive);
    options.insert(QStringLiteral("handle_token"), QStringLiteral("rondix%1").arg(++m_requestCounter));
    callAsync(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
              QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"),
              {QString(), options});
    return true;
}

bool FreedesktopSessionControls::mediaPlayPause(QString* missing)
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    QStringList players;
    if (bus) {
        for (const QString& name : bus->registeredServiceNames().value())
            if (name.startsWith(kMprisPrefix))
                players.append(name);
    }
    if (players.isEmpty()) {
        *missing = QStringLiteral("no MPRIS media player");
        return false;
    }
    players.sort();
    // Ask every player for its status without blocking; the playing one gets
    // the toggle, otherwise the first.
    struct Round
    {
        QStringList players;
        QString playing;
        int pending = 0;
    };
    auto round = std::make_shared<Round>();
    round->players = players;
    round->pending = int(players.size());
    auto finish = [round] {
        const QString target = round->playing.isEmpty() ? round->players.first() : round->playing;
        callAsync(target, QStringLiteral("/org/mpris/MediaPlayer2"),
                  QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("PlayPause"));
    };
    for (const QString& player : players) {
        QDBusMessage get = QDBusMessage::createMethodCall(player, QStringLiteral("/org/mpris/MediaPlayer2"),
                                                          kPropertiesIface, QStringLiteral("Get"));
        get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("PlaybackStatus");
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get, 500), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [round, player, finish](QDBusPendingCallWatcher* w) {
                    QDBusPendingReply<QDBusVariant> reply = *w;
                    if (reply.isValid() && round->playing.isEmpty() &&
                        reply.value().variant().toString() == QLatin1String("Playing"))
                        round->playing = player;
                    if (--round->pending == 0)
                        finish();
                    w->deleteLater();
                });
    }
    return true;
}

bool FreedesktopSessionControls::launcher(QString* missing)
{
    if (sessionServiceAvailable(kKRunner, true)) {
        callAsync(kKRunner, QStringLiteral("/App"), QStringLiteral("org.kde.krunner.App"),
                  QStringLiteral("display"));
        return true;
    }
    if (sessionServiceAvailable(kGnomeShell)) {
        setGnomeOverview(true);
        return true;
    }
    *missing = QStringLiteral("no application launcher (KRunner or GNOME Shell)");
    return false;
}

bool FreedesktopSessionControls::fileManager(QString* missing)
{
    if (m_opener && m_opener->openPath(QDir::homePath()))
        return true;
    *missing = QStringLiteral("no handler for folders (xdg-open)");
    return false;
}
