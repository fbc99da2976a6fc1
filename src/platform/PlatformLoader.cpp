#include "platform/PlatformLoader.h"

#include "platform/Platform.h"

#include <QGuiApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPlatform, "rondix.platform")

namespace {
Platform* g_instance = nullptr;
}

void loadPlatform(Platform& platform)
{
    const QString forced = qEnvironmentVariable("RONDIX_PLATFORM");
    if (forced == QLatin1String("fake")) {
        installFakeBackends(platform);
        platform.backendName = QStringLiteral("fake");
        installNullBackends(platform);
        return;
    }

    const QString qpa = QGuiApplication::platformName();
    const QString sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    const bool wantWayland = qpa == QLatin1String("wayland")
                             || (qpa.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
                             || (qpa != QLatin1String("xcb") && sessionType == QLatin1String("wayland"));
    const bool wantX11 = !wantWayland
                         && (qpa == QLatin1String("xcb")
                             || (qpa.isEmpty() && !qEnvironmentVariableIsEmpty("DISPLAY"))
                             || sessionType == QLatin1String("x11"));
    if (wantX11 && installX11Backends(platform)) {
        platform.backendName = QStringLiteral("x11");
        platform.capabilities.desktop = QStringLiteral("X11");
    } else if (wantWayland && installWaylandBackends(platform)) {
        platform.backendName = QStringLiteral("wayland");
    } else {
        platform.backendName = QStringLiteral("null");
        platform.capabilities = SessionCapabilities{};
        platform.capabilities.desktop = sessionType.isEmpty() ? QStringLiteral("unknown") : sessionType;
        platform.capabilities.ringAtPointer = platform.capabilities.hotkey = platform.capabilities.mouseButton =
            platform.capabilities.frontmostApp = platform.capabilities.keys = platform.capabilities.clipboard =
                false;
        platform.capabilities.missing << QStringLiteral("session.missing.display");
        platform.capabilities.advice << QStringLiteral("session.advice.other_hotkey");
    }

    installFreedesktopBackends(platform);
    installPulseBackends(platform);
    installNullBackends(platform);
    qCDebug(lcPlatform) << "platform backend:" << platform.backendName;
    if (!platform.capabilities.isComplete())
        qCInfo(lcPlatform).noquote() << "On" << platform.capabilities.desktop
                                     << "Rondix cannot do everything:" << platform.capabilities.missingLine();
}

Platform& Platform::instance()
{
    if (!g_instance) {
        g_instance = new Platform(qApp);
        loadPlatform(*g_instance);
    }
    return *g_instance;
}

void Platform::setInstance(Platform* platform)
{
    g_instance = platform;
}

InputAccess::Session InputAccess::sessionFromEnvironment()
{
    const QString qpa = QGuiApplication::platformName();
    if (qpa == QLatin1String("wayland") || qpa.startsWith(QLatin1String("wayland-")))
        return Session::Wayland;
    if (qpa == QLatin1String("xcb"))
        return Session::X11;
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return Session::Wayland;
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return Session::X11;
    return Session::None;
}
