#include "platform/freedesktop/XdgOpener.h"

#include "common/Log.h"
#include "platform/freedesktop/SessionBus.h"

#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcOpener, "rondix.opener")

namespace {
const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");
} // namespace

bool XdgOpener::runXdgOpen(const QString& argument)
{
    // Started directly with an argument list: the text never meets a shell.
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (program.isEmpty())
        return false;
    const bool ok = QProcess::startDetached(program, {argument});
    qCDebug(lcOpener) << "xdg-open" << loggableLocation(argument) << ok;
    return ok;
}

bool XdgOpener::openUrl(const QUrl& url)
{
    if (!url.isValid())
        return false;
    if (runXdgOpen(url.toString(QUrl::FullyEncoded)))
        return true;
    // No xdg-open on this system: Qt's own desktop integration (portal, browser).
    return QDesktopServices::openUrl(url);
}

bool XdgOpener::openPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    // xdg-open resolves the folder's MIME type (inode/directory) to its default handler.
    if (runXdgOpen(path))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool XdgOpener::revealFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    if (sessionServiceAvailable(kFileManagerService, true)) {
        QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService,
                                                           QStringLiteral("/org/freedesktop/FileManager1"),
                                                           kFileManagerService, QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        if (QDBusConnection::sessionBus().send(call))
            return true;
    }
    return openPath(QFileInfo(path).absolutePath());
}
