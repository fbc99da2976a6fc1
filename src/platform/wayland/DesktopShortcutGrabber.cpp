#include "platform/wayland/DesktopShortcutGrabber.h"

#include "platform/PlatformTypes.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/X11KeyTable.h"

#include <gio/gio.h>
#include <QCoreApplication>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QStandardPaths>
#include <xkbcommon/xkbcommon.h>

namespace {
const char* kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
const char* kCustomBinding = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";

QString keyName(quint16 keyCode)
{
    const std::optional<quint32> keysym = X11KeyTable::keysymForVirtualKey(keyCode);
    char name[64];
    if (!keysym || xkb_keysym_get_name(*keysym, name, sizeof name) <= 0)
        return {};
    return QString::fromLatin1(name);
}

bool schemaInstalled(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    return true;
}

QStringList customPaths(GSettings* mediaKeys)
{
    QStringList paths;
    gchar** list = g_settings_get_strv(mediaKeys, "custom-keybindings");
    for (gchar** p = list; p && *p; ++p)
        paths << QString::fromUtf8(*p);
    g_strfreev(list);
    return paths;
}

void setCustomPaths(GSettings* mediaKeys, const QStringList& paths)
{
    QList<QByteArray> utf8;
    for (const QString& p : paths)
        utf8 << p.toUtf8();
    std::vector<const gchar*> raw;
    for (const QByteArray& p : utf8)
        raw.push_back(p.constData());
    raw.push_back(nullptr);
    g_settings_set_strv(mediaKeys, "custom-keybindings", raw.data());
}
} // namespace

DesktopShortcutGrabber::DesktopShortcutGrabber(Desktop desktop, QObject* parent)
    : HotkeyGrabber(parent)
    , m_desktop(desktop)
{}

QString DesktopShortcutGrabber::gnomeCommand(const QString& program)
{
    // The desktop splits the command the way a shell would, and a path may
    // hold spaces or quotes.
    gchar* quoted = g_shell_quote(program.toUtf8().constData());
    const QString command = QString::fromUtf8(quoted) + QStringLiteral(" summon");
    g_free(quoted);
    return command;
}

QString DesktopShortcutGrabber::gnomeAccelerator(quint16 keyCode, quint32 modifiers)
{
    const QString key = keyName(keyCode);
    if (key.isEmpty())
        return {};
    QString text;
    if (modifiers & ModifierMask::Command)
        text += QStringLiteral("<Super>");
    if (modifiers & ModifierMask::Shift)
        text += QStringLiteral("<Shift>");
    if (modifiers & ModifierMask::Option)
        text += QStringLiteral("<Alt>");
    if (modifiers & ModifierMask::Control)
        text += QStringLiteral("<Control>");
    return text + key;
}

QString DesktopShortcutGrabber::kwinSequence(quint16 keyCode, quint32 modifiers)
{
    const QString key = keyName(keyCode);
    if (key.isEmpty())
        return {};
    // Qt's own names for keys ("space" -> "Space"), as KWin reads them.
    QString name = QKeySequence::fromString(key, QKeySequence::PortableText).toString(QKeySequence::PortableText);
    if (name.isEmpty())
        name = key;
    QStringList parts;
    if (modifiers & ModifierMask::Control)
        parts << QStringLiteral("Ctrl");
    if (modifiers & ModifierMask::Option)
        parts << QStringLiteral("Alt");
    if (modifiers & ModifierMask::Shift)
        parts << QStringLiteral("Shift");
    if (modifiers & ModifierMask::Command)
        parts << QStringLiteral("Meta");
    parts << name;
    return parts.join(QLatin1Char('+'));
}

QString DesktopShortcutGrabber::kwinScript(const QString& sequence)
{
    QString quoted = sequence;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QStringLiteral("registerShortcut(\"%1\", \"Show the Rondix ring\", \"%2\", function () {\n"
                          "    callDBus(\"org.rondix.Rondix\", \"/org/rondix/Rondix\", \"org.rondix.Rondix\", "
                          "\"Summon\");\n"
                          "});\n")
        .arg(kShortcutName, quoted);
}

int DesktopShortcutGrabber::grab(quint16 keyCode, quint32 modifiers)
{
    ungrab();
    const int status = m_desktop == Desktop::Gnome ? grabGnome(gnomeAccelerator(keyCode, modifiers))
                                                   : grabPlasma(kwinSequence(keyCode, modifiers));
    m_grabbed = status == 0;
    return status;
}

int DesktopShortcutGrabber::grabGnome(const QString& accelerator)
{
    if (accelerator.isEmpty())
        return 2;
    if (!schemaInstalled(kMediaKeys) || !schemaInstalled(kCustomBinding))
        return 1;
    const QByteArray path = kGnomePath.toUtf8();
    GSettings* binding = g_settings_new_with_path(kCustomBinding, path.constData());
    g_settings_set_string(binding, "name", "Rondix");
    const QByteArray command = gnomeCommand(QCoreApplication::applicationFilePath()).toUtf8();
    g_settings_set_string(binding, "command", command.constData());
    g_settings_set_string(binding, "binding", accelerator.toUtf8().constData());
    g_object_unref(binding);
    GSettings* mediaKeys = g_settings_new(kMediaKeys);
    QStringList paths = customPaths(mediaKeys);
    if (!paths.contains(kGnomePath)) {
        paths << kGnomePath;
        setCustomPaths(mediaKeys, paths);
    }
    g_settings_sync();
    g_object_unref(mediaKeys);
    return 0;
}

int DesktopShortcutGrabber::grabPlasma(const QString& sequence)
{
    if (sequence.isEmpty())
        return 2;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    const QString path = QDir(dir.isEmpty() ? QDir::tempPath() : dir).filePath(kScriptName + QStringLiteral(".js"));
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    file.write(kwinScript(sequence).toUtf8());
    file.close();
    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"));
    if (!scripting.isValid())
        return 1;
    // The script of an earlier run may still be loaded (the shortcut outlives
    // Rondix); KWin would not load this one beside it.
    removePlasmaShortcut();
    const QDBusReply<int> id = scripting.call(QStringLiteral("loadScript"), path, kScriptName);
    if (!id.isValid() || id.value() < 0)
        return 1;
    scripting.call(QStringLiteral("start"));
    return 0;
}

void DesktopShortcutGrabber::removePlasmaShortcut()
{
    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"));
    scripting.call(QStringLiteral("unloadScript"), kScriptName);
    // KWin's shortcut daemon keeps the key of an action whose script is gone,
    // and gives it back to the next script registering that action, over the
    // key that script asks for: a new chord would never take. The action goes
    // with its script, which also frees the chord for other uses.
    QDBusInterface shortcuts(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                             QStringLiteral("org.kde.KGlobalAccel"));
    shortcuts.call(QStringLiteral("unregister"), QStringLiteral("kwin"), kShortcutName);
}

void DesktopShortcutGrabber::ungrab()
{
    if (!m_grabbed)
        return;
    m_grabbed = false;
    if (m_desktop == Desktop::Plasma) {
        removePlasmaShortcut();
        return;
    }
    if (!schemaInstalled(kMediaKeys))
        return;
    GSettings* mediaKeys = g_settings_new(kMediaKeys);
    QStringList paths = customPaths(mediaKeys);
    if (paths.removeAll(kGnomePath) > 0)
        setCustomPaths(mediaKeys, paths);
    g_settings_sync();
    g_object_unref(mediaKeys);
}
