#include "platform/freedesktop/GioDesktopEntries.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDesktopEntries, "rondix.desktopentries")

namespace {

QString takeString(gchar* s)
{
    const QString result = s ? QString::fromUtf8(s) : QString();
    g_free(s);
    return result;
}

QString idWithoutSuffix(const char* id)
{
    QString s = id ? QString::fromUtf8(id) : QString();
    if (s.endsWith(QLatin1String(".desktop")))
        s.chop(8);
    return s;
}

DesktopEntry toEntry(GDesktopAppInfo* info)
{
    DesktopEntry e;
    e.id = idWithoutSuffix(g_app_info_get_id(G_APP_INFO(info)));
    const char* file = g_desktop_app_info_get_filename(info);
    e.path = file ? QString::fromUtf8(file) : QString();
    if (e.id.isEmpty() && !e.path.isEmpty())
        e.id = QFileInfo(e.path).completeBaseName(); // loaded from a file outside the data dirs
    e.name = takeString(g_desktop_app_info_get_locale_string(info, "Name"));
    e.unlocalizedName = takeString(g_desktop_app_info_get_string(info, "Name"));
    if (e.name.isEmpty())
        e.name = e.unlocalizedName;
    e.iconName = takeString(g_desktop_app_info_get_string(info, "Icon"));
    const char* wmClass = g_desktop_app_info_get_startup_wm_class(info);
    e.startupWmClass = wmClass ? QString::fromUtf8(wmClass) : QString();
    const char* categories = g_desktop_app_info_get_categories(info);
    if (categories)
        e.categories = QString::fromUtf8(categories).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return e;
}

} // namespace

std::optional<DesktopEntry> GioDesktopEntries::entryForId(const QString& id)
{
    if (id.isEmpty())
        return std::nullopt;
    const QByteArray fileId =
        (id.endsWith(QLatin1String(".desktop")) ? id : id + QLatin1String(".desktop")).toUtf8();
    GDesktopAppInfo* info = g_desktop_app_info_new(fileId.constData());
    if (!info)
        return std::nullopt;
    DesktopEntry e = toEntry(info);
    g_object_unref(info);
    return e;
}

std::optional<DesktopEntry> GioDesktopEntries::entryForFile(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray file = QFile::encodeName(path);
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(file.constData());
    if (!info)
        return std::nullopt;
    DesktopEntry e = toEntry(info);
    g_object_unref(info);
    return e;
}

QList<DesktopEntry> GioDesktopEntries::allApplications()
{
    QList<DesktopEntry> result;
    GList* all = g_app_info_get_all();
    for (GList* l = all; l; l = l->next) {
        auto* app = G_APP_INFO(l->data);
        if (G_IS_DESKTOP_APP_INFO(app) && g_app_info_should_show(app))
            result.append(toEntry(G_DESKTOP_APP_INFO(app)));
    }
    g_list_free_full(all, g_object_unref);
    return result;
}

std::optional<DesktopEntry> GioDesktopEntries::defaultApplicationForType(const QString& mimeType)
{
    if (mimeType.isEmpty())
        return std::nullopt;
    GAppInfo* app = g_app_info_get_default_for_type(mimeType.toUtf8().constData(), FALSE);
    if (!app)
        return std::nullopt;
    std::optional<DesktopEntry> result;
    if (G_IS_DESKTOP_APP_INFO(app))
        result = toEntry(G_DESKTOP_APP_INFO(app));
    g_object_unref(app);
    return result;
}

bool GioDesktopEntries::launch(const DesktopEntry& entry, QString* error)
{
    GDesktopAppInfo* info = nullptr;
    if (!entry.path.isEmpty())
        info = g_desktop_app_info_new_from_filename(QFile::encodeName(entry.path).constData());
    if (!info && !entry.id.isEmpty())
        info = g_desktop_app_info_new((entry.id + QLatin1String(".desktop")).toUtf8().constData());
    if (!info) {
        if (error)
            *error =
                QStringLiteral("no desktop entry for %1").arg(entry.id.isEmpty() ? entry.path : entry.id);
        return false;
    }
    GError* gerror = nullptr;
    // GIO expands the Exec line itself and starts the program without a shell.
    const bool ok = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &gerror);
    if (!ok) {
        const QString reason = gerror ? QString::fromUtf8(gerror->message) : QStringLiteral("unknown error");
        qCDebug(lcDesktopEntries) << "launch failed:" << entry.id << reason;
        if (error)
            *error = reason;
    }
    if (gerror)
        g_error_free(gerror);
    g_object_unref(info);
    return ok;
}
