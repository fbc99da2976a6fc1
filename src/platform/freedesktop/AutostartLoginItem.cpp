#include "platform/freedesktop/AutostartLoginItem.h"

#include "common/AtomicFile.h"

#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString kFileName = QStringLiteral("org.rondix.Rondix.desktop");
} // namespace

AutostartLoginItem::AutostartLoginItem(const QString& configHome, const QString& executable, QObject* parent)
    : LoginItem(parent)
    , m_configHome(configHome)
    , m_executable(executable)
{}

QString AutostartLoginItem::filePath() const
{
    // Resolved per call so that a changed XDG_CONFIG_HOME is honoured.
    const QString home = m_configHome.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             : m_configHome;
    return home + QStringLiteral("/autostart/") + kFileName;
}

QString AutostartLoginItem::quoteExecArgument(const QString& argument)
{
    // Reserved characters force quoting; inside quotes ", `, $ and \ take a
    // backslash. A literal % is always doubled (it would start a field code).
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);

    QString out;
    for (const QChar c : argument) {
        if (c == QLatin1Char('%'))
            out += QStringLiteral("%%");
        else if (needsQuotes && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                                 c == QLatin1Char('\\')))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    if (!needsQuotes)
        return out;
    // The value as a whole is a desktop-entry string, where a backslash is
    // itself escaped, and a line break would end the entry.
    out = QLatin1Char('"') + out + QLatin1Char('"');
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    out.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return out;
}

QByteArray AutostartLoginItem::entryContent(const QString& executable)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Rondix\n");
    text += QStringLiteral("Comment=Radial ring of eight actions, summoned at the pointer\n");
    text += QStringLiteral("Exec=") + quoteExecArgument(executable) + QLatin1Char('\n');
    text += QStringLiteral("Icon=org.rondix.Rondix\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    // KWin grants these to a client whose desktop file (absolute Exec) asks.
    text += QStringLiteral("X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management\n");
    return text.toUtf8();
}

bool AutostartLoginItem::registerItem(QString* error)
{
    QString executable = m_executable;
    if (executable.isEmpty())
        executable = QCoreApplication::applicationFilePath();
    if (executable.isEmpty() || !QFileInfo(executable).isAbsolute()) {
        if (error)
            *error = QStringLiteral("the path of the running program is unknown");
        return false;
    }

    const QString path = filePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    return writeFileAtomically(path, entryContent(executable), error);
}

bool AutostartLoginItem::unregisterItem(QString* error)
{
    QFile file(filePath());
    if (!file.exists())
        return true;
    if (!file.remove()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool AutostartLoginItem::isRegistered()
{
    return QFileInfo(filePath()).isFile();
}

void installAutostartLoginItem(Platform& platform)
{
    if (!platform.loginItem)
        platform.loginItem = new AutostartLoginItem({}, {}, &platform);
}
