#include "actions/ShortcutsManager.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

Q_LOGGING_CATEGORY(lcShortcuts, "rondix.shortcuts")

namespace {

struct SymbolGroup
{
    QStringList keywords;
    const char* symbol;
};

const QList<SymbolGroup>& symbolGroups()
{
    static const QList<SymbolGroup> groups = {
        {{QStringLiteral("音乐"), QStringLiteral("歌"), QStringLiteral("play"), QStringLiteral("music"),
          QStringLiteral("audio"), QStringLiteral("音频")},
         "music.note"},
        {{QStringLiteral("壁纸"), QStringLiteral("图"), QStringLiteral("photo"), QStringLiteral("image"),
          QStringLiteral("画"), QStringLiteral("水印")},
         "photo.fill"},
        {{QStringLiteral("视频"), QStringLiteral("video"), QStringLiteral("movie")}, "video.fill"},
        {{QStringLiteral("翻译"), QStringLiteral("translate"), QStringLiteral("dict"), QStringLiteral("词")},
         "character.book.closed.fill"},
        {{QStringLiteral("开关"), QStringLiteral("控制"), QStringLiteral("setting"), QStringLiteral("wifi"),
          QStringLiteral("蓝牙")},
         "slider.horizontal.3"},
        {{QStringLiteral("换背景"), QStringLiteral("抠图"), QStringLiteral("crop"), QStringLiteral("resize")},
         "wand.and.stars"},
        {{QStringLiteral("搜索"), QStringLiteral("search"), QStringLiteral("find")}, "magnifyingglass"},
        {{QStringLiteral("备忘"), QStringLiteral("笔记"), QStringLiteral("note"), QStringLiteral("todo"),
          QStringLiteral("待办")},
         "note.text"},
        {{QStringLiteral("新闻"), QStringLiteral("news"), QStringLiteral("read")}, "newspaper.fill"},
        {{QStringLiteral("天气"), QStringLiteral("weather")}, "cloud.sun.fill"},
    };
    return groups;
}

bool isScript(const QFileInfo& info)
{
    return info.isFile() && info.isExecutable();
}

} // namespace

ShortcutsManager::ShortcutsManager(const QString& folder, Launcher launcher, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_launcher(std::move(launcher))
{
    if (!m_launcher)
        m_launcher = [](const QString& program) { return QProcess::startDetached(program, {}); };
    refreshShortcuts();
}

ShortcutsManager& ShortcutsManager::shared()
{
    static ShortcutsManager* instance =
        new ShortcutsManager(defaultFolder(), {}, nullptr); // lives until the process ends
    return *instance;
}

QString ShortcutsManager::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Rondix/shortcuts");
}

bool ShortcutsManager::ensureFolder()
{
    return QDir().mkpath(m_folder);
}

QStringList ShortcutsManager::listFolder(const QString& folder, QString* error)
{
    const QFileInfo dirInfo(folder);
    if (!dirInfo.exists())
        return {};
    if (!dirInfo.isDir() || !dirInfo.isReadable()) {
        if (error)
            *error = QStringLiteral("%1 is not a readable folder").arg(folder);
        return {};
    }
    QStringList names;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!isScript(entry))
            continue;
        const QString name = entry.fileName().trimmed();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

void ShortcutsManager::refreshShortcuts()
{
    if (!m_isLoading) {
        m_isLoading = true;
        Q_EMIT isLoadingChanged();
    }
    const QString folder = m_folder;
    QPointer<ShortcutsManager> self(this);
    // QThreadPool's global pool; the result comes back as a queued call, so the
    // listing that finishes last is the one that stays.
    (void)QtConcurrent::run([folder, self] {
        QString error;
        const QStringList list = listFolder(folder, &error);
        if (!error.isEmpty())
            logLine(QStringLiteral("[ShortcutsManager] Error listing shortcuts: ") + error);
        auto* receiver = QCoreApplication::instance();
        if (!receiver)
            return;
        QMetaObject::invokeMethod(
            receiver,
            [self, list] {
                if (self)
                    self->publish(list);
            },
            Qt::QueuedConnection);
    });
}

void ShortcutsManager::publish(const QStringList& list)
{
    const bool listChanged = m_installedShortcuts != list;
    const bool loadingChanged = m_isLoading;
    m_installedShortcuts = list;
    m_isLoading = false;
    m_lastRefreshed = QDateTime::currentDateTime();
    if (listChanged)
        Q_EMIT installedShortcutsChanged();
    if (loadingChanged)
        Q_EMIT isLoadingChanged();
    Q_EMIT lastRefreshedChanged();
}

QString ShortcutsManager::resolveScript(const QString& name) const
{
    // Only a plain file name inside the folder: no separators, no "." or "..".
    if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QChar(0)))
        return {};
    const QDir dir(m_folder);
    const QFileInfo exact(dir.filePath(name));
    if (isScript(exact))
        return exact.absoluteFilePath();
    // The listing shows trimmed names; find the file such a name came from.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries)
        if (entry.fileName().trimmed() == name && isScript(entry))
            return entry.absoluteFilePath();
    return {};
}

void ShortcutsManager::runShortcut(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return;
    const QString script = resolveScript(trimmed);
    if (script.isEmpty()) {
        logLine(QStringLiteral("[ShortcutsManager] No script named \"%1\" in %2").arg(trimmed, m_folder));
        return;
    }
    qCDebug(lcShortcuts) << "running" << script;
    if (!m_launcher(script))
        qCDebug(lcShortcuts) << "could not start" << script;
}

QString ShortcutsManager::suggestedSymbol(const QString& name)
{
    const QString lower = name.toLower();
    for (const SymbolGroup& group : symbolGroups())
        for (const QString& keyword : group.keywords)
            if (lower.contains(keyword))
                return QString::fromLatin1(group.symbol);
    return QStringLiteral("square.stack.3d.up.fill");
}
