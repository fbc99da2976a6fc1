#include "actions/ShortcutsManager.h"
#include "StdoutCapture.h"

#include <memory>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString& path, bool executable)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    QFileDevice::Permissions perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable)
        perms |= QFileDevice::ExeOwner;
    f.setPermissions(perms);
}

} // namespace

class UserScriptTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QStringList m_launched;

    std::unique_ptr<ShortcutsManager> makeManager(const QString& folder)
    {
        m_launched.clear();
        return std::make_unique<ShortcutsManager>(folder, [this](const QString& p) {
            m_launched.append(p);
            return true;
        });
    }

private Q_SLOTS:
    void listing_data()
    {
        QTest::addColumn<QStringList>("executables");
        QTest::addColumn<QStringList>("others"); // plain files
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("blank names trimmed and dropped")
            << QStringList{"A", "   ", " B ", "C"} << QStringList{} << QStringList{}
            << QStringList{"B", "A", "C"};
        QTest::newRow("by name, not by creation")
            << QStringList{"zeta", "Alpha", "beta", "Gamma"} << QStringList{} << QStringList{}
            << QStringList{"Alpha", "Gamma", "beta", "zeta"};
        QTest::newRow("only executable regular files")
            << QStringList{"run.sh"} << QStringList{"readme.txt", "data.json"} << QStringList{"subfolder"}
            << QStringList{"run.sh"};
        QTest::newRow("duplicates after trimming kept")
            << QStringList{"X", "X "} << QStringList{} << QStringList{} << QStringList{"X", "X"};
        QTest::newRow("unicode names") << QStringList{"翻译", "天气 today"} << QStringList{} << QStringList{}
                                       << QStringList{"天气 today", "翻译"};
        QTest::newRow("empty folder") << QStringList{} << QStringList{} << QStringList{} << QStringList{};
    }
    void listing()
    {
        QFETCH(QStringList, executables);
        QFETCH(QStringList, others);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, listed);
        QTemporaryDir dir;
        for (const QString& n : executables)
            writeFile(dir.filePath(n), true);
        for (const QString& n : others)
            writeFile(dir.filePath(n), false);
        for (const QString& n : folders)
            QVERIFY(QDir(dir.path()).mkdir(n));
        QCOMPARE(ShortcutsManager::listFolder(dir.path()), listed);

        auto m = makeManager(dir.path());
        QTRY_VERIFY(!m->isLoading());
        QCOMPARE(m->installedShortcuts(), listed);
    }

    void missingFolderIsEmptyNotAnError()
    {
        StdoutCapture out;
        auto m = makeManager(m_root.filePath(QStringLiteral("does/not/exist")));
        QVERIFY(m->isLoading());
        QTRY_VERIFY(m->lastRefreshed().has_value());
        QVERIFY(!m->isLoading());
        QVERIFY(m->installedShortcuts().isEmpty());
        QVERIFY(out.lines().isEmpty());
    }

    void unreadableFolderLogs()
    {
        const QString file = m_root.filePath(QStringLiteral("not-a-folder"));
        writeFile(file, false);
        StdoutCapture out;
        auto m = makeManager(file);
        QTRY_VERIFY(m->lastRefreshed().has_value());
        const QStringList lines = out.lines();
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].startsWith(QLatin1String("[ShortcutsManager] Error listing shortcuts: ")));
        QVERIFY(m->installedShortcuts().isEmpty());
    }

    void publishOrder()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("one")), true);
        auto m = makeManager(dir.path());
        QTRY_VERIFY(!m->isLoading());
        const QDateTime first = *m->lastRefreshed();

        writeFile(dir.filePath(QStringLiteral("two")), true);
        QSignalSpy loading(m.get(), &ShortcutsManager::isLoadingChanged);
        bool consistentWhenListChanged = false;
        connect(m.get(), &ShortcutsManager::installedShortcutsChanged, this, [&] {
            // List, loading flag and time are set together before anyone hears of it.
            consistentWhenListChanged = !m->isLoading() && m->lastRefreshed() && *m->lastRefreshed() >= first;
        });
        m->refreshShortcuts();
        QVERIFY(m->isLoading()); // at once, on the calling thread
        QCOMPARE(loading.size(), 1);
        QTRY_COMPARE(m->installedShortcuts(), (QStringList{"one", "two"}));
        QVERIFY(consistentWhenListChanged);
        QCOMPARE(loading.size(), 2);
    }

    void lastListingWins()
    {
        QTemporaryDir dir;
        auto m = makeManager(dir.path());
        QTRY_VERIFY(!m->isLoading());
        writeFile(dir.filePath(QStringLiteral("late")), true);
        for (int i = 0; i < 5; ++i)
            m->refreshShortcuts();
        QTRY_COMPARE(m->installedShortcuts(), QStringList{"late"});
        QTRY_VERIFY(!m->isLoading());
    }

    void suggestedSymbols_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("play before video") << "Play Video"
                                           << "music.note";
        QTest::newRow("weather") << "Daily Weather"
                                 << "cloud.sun.fill";
        QTest::newRow("wallpaper") << "换壁纸"
                                   << "photo.fill";
        QTest::newRow("translate") << "Translate Text"
                                   << "character.book.closed.fill";
        QTest::newRow("nothing") << "Backup"
                                 << "square.stack.3d.up.fill";
        QTest::newRow("case-insensitive") << "MOVIE night"
                                          << "video.fill";
        QTest::newRow("substring inside a word") << "Display Settings"
                                                 << "music.note";
        QTest::newRow("audio before image") << "image to audio"
                                            << "music.note";
    }
    void suggestedSymbols()
    {
        QFETCH(QString, name);
        QFETCH(QString, symbol);
        QCOMPARE(ShortcutsManager::suggestedSymbol(name), symbol);
    }

    void runResolvesInsideTheFolderOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("launched"); // file name in the folder; empty: nothing runs
        QTest::addColumn<bool>("logged");
        QTest::newRow("plain") << "Backup"
                               << "Backup" << false;
        QTest::newRow("trimmed") << "  Backup \n"
                                 << "Backup" << false;
        QTest::newRow("listed name of a padded file") << "Padded"
                                                      << " Padded " << false;
        QTest::newRow("shell characters stay a name") << "a;b&c"
                                                      << "a;b&c" << false;
        QTest::newRow("blank") << "  \t"
                               << "" << false;
        QTest::newRow("parent") << ".."
                                << "" << true;
        QTest::newRow("dot") << "."
                             << "" << true;
        QTest::newRow("traversal") << "../outside"
                                   << "" << true;
        QTest::newRow("absolute") << "/bin/sh"
                                  << "" << true;
        QTest::newRow("nested") << "sub/inner"
                                << "" << true;
        QTest::newRow("not executable") << "notes.txt"
                                        << "" << true;
        QTest::newRow("unknown") << "Nope"
                                 << "" << true;
    }
    void runResolvesInsideTheFolderOnly()
    {
        QFETCH(QString, name);
        QFETCH(QString, launched);
        QFETCH(bool, logged);
        QTemporaryDir base;
        const QString folder = base.filePath(QStringLiteral("scripts"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        writeFile(folder + QStringLiteral("/Backup"), true);
        writeFile(folder + QStringLiteral("/ Padded "), true);
        writeFile(folder + QStringLiteral("/a;b&c"), true);
        writeFile(folder + QStringLiteral("/notes.txt"), false);
        writeFile(folder + QStringLiteral("/sub/inner"), true);
        writeFile(base.filePath(QStringLiteral("outside")), true);
        auto m = makeManager(folder);
        StdoutCapture out;
        m->runShortcut(name);
        const QStringList lines = out.lines();
        if (launched.isEmpty())
            QVERIFY(m_launched.isEmpty());
        else
            QCOMPARE(m_launched, QStringList{QDir(folder).absoluteFilePath(launched)});
        QCOMPARE(lines.size(), logged ? 1 : 0);
        if (logged)
            QVERIFY(lines[0].startsWith(QLatin1String("[ShortcutsManager] ")));
    }

    void ensureFolderCreatesIt()
    {
        const QString folder = m_root.filePath(QStringLiteral("data/Rondix/shortcuts"));
        auto m = makeManager(folder);
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(m->ensureFolder());
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(m->ensureFolder());
    }

    void defaultFolderFollowsXdgDataHome()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "/tmp/xdg-data-test");
        QCOMPARE(ShortcutsManager::defaultFolder(), QStringLiteral("/tmp/xdg-data-test/Rondix/shortcuts"));
        qputenv("XDG_DATA_HOME", saved);
    }
};

int runUserScriptTests(int argc, char** argv)
{
    UserScriptTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "UserScriptTest.moc"
