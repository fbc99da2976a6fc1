#include "platform/freedesktop/SystemAppearance.h"

#include "common/AppSettings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPalette>

Q_LOGGING_CATEGORY(lcAppearance, "rondix.appearance", QtWarningMsg)

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The older Settings.Read wraps the value in one more variant than ReadOne
// and the SettingChanged signal do; unwrap however many there are.
int schemeFrom(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    return ok ? int(scheme) : 0;
}
} // namespace

SystemAppearance& SystemAppearance::shared()
{
    static auto* instance = new SystemAppearance(qApp);
    return *instance;
}

SystemAppearance::SystemAppearance(QObject* parent)
    : QObject(parent)
{
    m_dark = paletteIsDark();
    if (qApp)
        qApp->installEventFilter(this);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // The slot is matched by its signature's type names: QDBusVariant must be
    // known to the meta-type system first, or connect() fails (it is not
    // until some D-Bus call has used the type).
    qRegisterMetaType<QDBusVariant>();
    if (!bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                     SLOT(onSettingChanged(QString, QString, QDBusVariant))))
        qCWarning(lcAppearance) << "cannot follow the settings portal:" << bus.lastError().message();
    readPortal(QStringLiteral("ReadOne"));
}

bool SystemAppearance::resolveDark(const QString& themeMode, bool systemDark)
{
    if (themeMode == QLatin1String("dark"))
        return true;
    if (themeMode == QLatin1String("light"))
        return false;
    return systemDark;
}

bool SystemAppearance::themeIsDark() const
{
    return resolveDark(AppSettings::value(QStringLiteral("rondix_theme_mode"), QStringLiteral("system")).toString(),
                       m_dark);
}

void SystemAppearance::readPortal(const QString& method)
{
    // Asynchronous: a missing or slow portal must not hold up the start.
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call << kNamespace << kKey;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, method](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError()) {
            // Portals before version 2 of the interface only know Read.
            if (method == QLatin1String("ReadOne") && reply.error().type() == QDBusError::UnknownMethod) {
                readPortal(QStringLiteral("Read"));
                return;
            }
            qCDebug(lcAppearance) << "no appearance from the settings portal:" << reply.error().message();
            return;
        }
        setPortalScheme(schemeFrom(QVariant::fromValue(reply.value())));
    });
}

void SystemAppearance::onSettingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value)
{
    if (nameSpace == kNamespace && key == kKey)
        setPortalScheme(schemeFrom(value.variant()));
}

void SystemAppearance::setPortalScheme(int scheme)
{
    m_portalScheme = scheme;
    recompute();
}

void SystemAppearance::recompute()
{
    bool dark = paletteIsDark();
    if (m_portalScheme == 1)
        dark = true;
    else if (m_portalScheme == 2)
        dark = false;
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT isDarkChanged(m_dark);
}

bool SystemAppearance::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        recompute();
    return QObject::eventFilter(watched, event);
}

bool SystemAppearance::paletteIsDark()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    const Qt::ColorScheme scheme = QGuiApplication::styleHints()->colorScheme();
    if (scheme != Qt::ColorScheme::Unknown)
        return scheme == Qt::ColorScheme::Dark;
#endif
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}
