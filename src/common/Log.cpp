#include "common/Log.h"

#include "common/MessageText.h"

#include <cstdio>
#include <QLoggingCategory>
#include <QUrl>

void logLine(const QString& line)
{
    // One entry, one line, whatever a quoted value held.
    const QByteArray utf8 = controlsEscaped(line).toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void installDefaultLogRules()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

QString loggableLocation(const QString& urlOrPath)
{
    const QUrl url(urlOrPath);
    if (url.scheme().isEmpty() || url.isLocalFile())
        return url.isLocalFile() ? url.toLocalFile() : urlOrPath;
    return url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toString();
}
