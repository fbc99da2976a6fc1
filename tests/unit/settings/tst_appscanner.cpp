// The installed-application scan against desktop entries generated in private
// XDG folders and read through GIO, its cache, the library's curated symbols
// and the search rules shared by the library and the add-application sheet.
#include "common/SymbolGlyphs.h"
#include "GatedEntries.h"
#include "platform/fake/FakePlatform.h"
#include "platform/freedesktop/GioDesktopEntries.h"
#include "settings/AddAppProfileSheet.h"
#include "settings/AppScanner.h"
#include "settings/IconLibraryRules.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

InstalledAppItem item(const QString& name, const QString& original, const QString& id)
{
    return {name, original, id, u"/apps/"_s + id + u".desktop"_s};
}

QStringList ids(const QList<InstalledAppItem>& items)
{
    QStringList out;
    for (const InstalledAppItem& i : items)
        out << i.bundleId;
    return out;
}

QStringList names(const QList<InstalledAppItem>& items)
{
    QStringList out;
    for (const InstalledAppItem& i : items)
        out << i.name;
    return out;
}

} // namespace

class TestAppScanner : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    GioDesktopEntries* m_gio = nullptr;
    Platform* m_platform = nullptr;

    void writeEntry(const QString& folder, const QString& id, const QString& body)
    {
        const QString dir = m_dir.filePath(folder + u"/applications"_s);
        QVERIFY(QDir().mkpath(dir));
        QFile f(dir + u'/' + id + u".desktop"_s);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("[Desktop Entry]\nType=Application\nExec=true\n" + body).toUtf8());
    }

    // The scan of the generated folders under a language, read by GIO.
    QList<InstalledAppItem> scanIn(const QByteArray& language)
    {
        qputenv("LANGUAGE", language);
        QCollator collator{QLocale(u"en"_s)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        return AppScanner::scan(*m_gio, collator);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // GIO reads the folders once per process: everything is in place
        // before the first scan.
        writeEntry(u"home"_s, u"org.example.Editor"_s, u"Name=Editor (home copy)\n"_s);
        writeEntry(u"sysA"_s, u"org.example.Editor"_s, u"Name=Editor (system copy)\n"_s);
        writeEntry(u"sysA"_s, u"org.example.Dup"_s, u"Name=First Copy\n"_s);
        writeEntry(u"sysB"_s, u"org.example.Dup"_s, u"Name=Second Copy\n"_s);
        writeEntry(u"sysA"_s, u"org.example.Hidden"_s, u"Name=Hidden\nHidden=true\n"_s);
        writeEntry(u"sysA"_s, u"org.example.NoDisplay"_s, u"Name=Helper\nNoDisplay=true\n"_s);
        writeEntry(u"home"_s, u"org.example.Masked"_s, u"Name=Masked\nHidden=true\n"_s);
        writeEntry(u"sysB"_s, u"org.example.Masked"_s, u"Name=Masked\n"_s);
        writeEntry(u"sysB"_s, u"org.example.Viewer"_s,
                   u"Name=Viewer\nName[de]=Betrachter\nName[fr]=Visionneuse\n"_s);
        writeEntry(u"sysB"_s, u"org.example.zebra"_s, u"Name=zebra\n"_s);
        writeEntry(u"sysB"_s, u"org.example.apple"_s, u"Name=apple\n"_s);
        writeEntry(u"sysB"_s, u"org.example.Files"_s,
                   u"Name=Files\nName[de]=Dateien\nMimeType=inode/directory;\n"_s);
        QVERIFY(QDir().mkpath(m_dir.filePath(u"config"_s)));
        QFile mimeapps(m_dir.filePath(u"config/mimeapps.list"_s));
        QVERIFY(mimeapps.open(QIODevice::WriteOnly));
        mimeapps.write("[Default Applications]\ninode/directory=org.example.Files.desktop\n");
        mimeapps.close();
        qputenv("XDG_DATA_HOME", m_dir.filePath(u"home"_s).toUtf8());
        qputenv("XDG_DATA_DIRS", (m_dir.filePath(u"sysA"_s) + u':' + m_dir.filePath(u"sysB"_s)).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toUtf8());
        qputenv("XDG_CONFIG_DIRS", m_dir.filePath(u"config-dirs"_s).toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
        m_gio = new GioDesktopEntries(this);
        m_platform = new Platform(this);
        m_platform->desktopEntries = m_gio;
        Platform::setInstance(m_platform);
    }

    void cleanup()
    {
        Platform::setInstance(m_platform);
        AppScanner::clearCache();
    }

    void scanOfDesktopEntries()
    {
        const QList<InstalledAppItem> apps = scanIn("en");
        // Hidden, NoDisplay and masked entries never; each id once, the first
        // data folder's copy (the user's own folder before the system's).
        QCOMPARE(ids(apps),
                 QStringList({u"org.example.apple"_s, u"org.example.Editor"_s, u"org.example.Files"_s,
                              u"org.example.Dup"_s, u"org.example.Viewer"_s, u"org.example.zebra"_s}));
        QCOMPARE(names(apps), QStringList({u"apple"_s, u"Editor (home copy)"_s, u"Files"_s, u"First Copy"_s,
                                           u"Viewer"_s, u"zebra"_s}));
        const InstalledAppItem editor = apps.at(1);
        QCOMPARE(editor.path, m_dir.filePath(u"home/applications/org.example.Editor.desktop"_s));
        QCOMPARE(editor.originalName, u"Editor (home copy)"_s);
    }

    void localizedAndOriginalNames_data()
    {
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<QString>("viewer");
        QTest::addColumn<QString>("files");
        QTest::newRow("german") << QByteArray("de_DE:en") << u"Betrachter"_s << u"Dateien"_s;
        QTest::newRow("french") << QByteArray("fr") << u"Visionneuse"_s << u"Files"_s;
        QTest::newRow("untranslated") << QByteArray("ja") << u"Viewer"_s << u"Files"_s;
    }

    void localizedAndOriginalNames()
    {
        QFETCH(QByteArray, language);
        QFETCH(QString, viewer);
        QFETCH(QString, files);
        const QList<InstalledAppItem> apps = scanIn(language);
        const auto find = [&apps](const QString& id) {
            for (const InstalledAppItem& a : apps)
                if (a.bundleId == id)
                    return a;
            return InstalledAppItem{};
        };
        QCOMPARE(find(u"org.example.Viewer"_s).name, viewer);
        QCOMPARE(find(u"org.example.Viewer"_s).originalName, u"Viewer"_s);
        QCOMPARE(find(u"org.example.Files"_s).name, files);
        QCOMPARE(find(u"org.example.Files"_s).originalName, u"Files"_s);
        // LC_ALL speaks when LANGUAGE is unset.
        if (language == "de_DE:en") {
            qunsetenv("LANGUAGE");
            qputenv("LC_ALL", "de_DE.UTF-8");
            QCollator collator{QLocale(u"de"_s)};
            const QList<InstalledAppItem> again = AppScanner::scan(*m_gio, collator);
            qunsetenv("LC_ALL");
            QVERIFY(names(again).contains(u"Betrachter"_s));
        }
    }

    // The default file manager comes first in the scan and takes its sorted
    // place; it is listed once, and also when menus don't show it.
    void fileManagerEntry()
    {
        FakeDesktopEntries fake;
        const DesktopEntry manager{u"org.example.Files"_s, u"Dateien"_s, u"Files"_s, {},
                                   u"/a/files.desktop"_s,  {},           {}};
        fake.entries = {{u"b"_s, u"Same"_s, u"Same"_s, {}, u"/a/b.desktop"_s, {}, {}},
                        {u"a"_s, u"Same"_s, u"Same"_s, {}, u"/a/a.desktop"_s, {}, {}},
                        manager,
                        {u"nameless"_s, {}, {}, {}, u"/a/nameless.desktop"_s, {}, {}}};
        fake.defaultHandlers[AppScanner::fileManagerMimeType()] = manager;
        QCollator collator{QLocale(u"de"_s)};
        QCOMPARE(ids(AppScanner::scan(fake, collator)),
                 QStringList({u"org.example.Files"_s, u"nameless"_s, u"a"_s, u"b"_s}));
        // Not shown in menus: still listed, first in scan order.
        fake.entries.removeAt(2);
        fake.entries.append({u"z"_s, u"Dateien"_s, u"Z"_s, {}, u"/a/z.desktop"_s, {}, {}});
        const QList<InstalledAppItem> apps = AppScanner::scan(fake, collator);
        QCOMPARE(ids(apps), QStringList({u"org.example.Files"_s, u"z"_s, u"nameless"_s, u"a"_s, u"b"_s}));
        QCOMPARE(apps.first(),
                 (InstalledAppItem{u"Dateien"_s, u"Files"_s, u"org.example.Files"_s, u"/a/files.desktop"_s}));
        // An entry without names is listed under its id.
        QCOMPARE(apps.at(2).name, u"nameless"_s);
        QCOMPARE(apps.at(2).originalName, u"nameless"_s);
        // No handler: nothing stands first.
        fake.defaultHandlers.clear();
        QCOMPARE(AppScanner::scan(fake, collator).size(), 4);
    }

    void collatorOrder_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("expected");
        const QStringList input{u"zebra"_s, u"Äpfel"_s, u"Banana"_s, u"apple"_s, u"éclair"_s, u"Eagle"_s};
        QTest::newRow("german") << u"de"_s
                                << QStringList({u"Äpfel"_s, u"apple"_s, u"Banana"_s, u"Eagle"_s, u"éclair"_s,
                                                u"zebra"_s});
        QTest::newRow("swedish") << u"sv"_s
                                 << QStringList({u"apple"_s, u"Banana"_s, u"Eagle"_s, u"éclair"_s, u"zebra"_s,
                                                 u"Äpfel"_s});
    }

    void collatorOrder()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, expected);
        QList<InstalledAppItem> items;
        for (const QString& n : {u"zebra"_s, u"Äpfel"_s, u"Banana"_s, u"apple"_s, u"éclair"_s, u"Eagle"_s})
            items << item(n, n, n);
        QCollator collator{QLocale(locale)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        AppScanner::sortByName(items, collator);
        QCOMPARE(names(items), expected);
        // Equal names keep their order.
        QList<InstalledAppItem> twins{item(u"Same"_s, {}, u"2"_s), item(u"Same"_s, {}, u"1"_s),
                                      item(u"Same"_s, {}, u"3"_s)};
        AppScanner::sortByName(twins, collator);
        QCOMPARE(ids(twins), QStringList({u"2"_s, u"1"_s, u"3"_s}));
    }

    void cacheLivesUntilCleared()
    {
        FakePlatform fake;
        fake.fakeDesktopEntries->entries = {{u"one"_s, u"One"_s, u"One"_s, {}, u"/a/one.desktop"_s, {}, {}}};
        Platform::setInstance(&fake);
        QVERIFY(!AppScanner::cachedApps());
        QCOMPARE(ids(AppScanner::scanInstalledApps(false)), QStringList{u"one"_s});
        fake.fakeDesktopEntries->entries.append(
            {u"two"_s, u"Two"_s, u"Two"_s, {}, u"/a/two.desktop"_s, {}, {}});
        QCOMPARE(ids(AppScanner::scanInstalledApps(false)), QStringList{u"one"_s});
        QCOMPARE(ids(*AppScanner::cachedApps()), QStringList{u"one"_s});
        QCOMPARE(AppScanner::scanInstalledApps(true).size(), 2);
        AppScanner::clearCache();
        QVERIFY(!AppScanner::cachedApps());
        fake.fakeDesktopEntries->entries.removeFirst();
        QCOMPARE(ids(AppScanner::scanInstalledApps(false)), QStringList{u"two"_s});
    }

    // A scan still running when the window closes must not refill the cache
    // with the old window's list.
    void scanAcrossClearDoesNotRefill()
    {
        Platform platform;
        GatedEntries gated;
        gated.entries = {{u"late"_s, u"Late"_s, u"Late"_s, {}, u"/a/late.desktop"_s, {}, {}}};
        platform.desktopEntries = &gated;
        Platform::setInstance(&platform);
        QFuture<QList<InstalledAppItem>> scan =
            QtConcurrent::run([] { return AppScanner::scanInstalledApps(false); });
        QVERIFY(gated.entered.tryAcquire(1, 5000));
        AppScanner::clearCache();
        gated.gate.release();
        QCOMPARE(ids(scan.result()), QStringList{u"late"_s});
        QVERIFY(!AppScanner::cachedApps());
    }

    void curatedSymbols()
    {
        const QStringList& all = SymbolDatabase::all();
        QCOMPARE(all.size(), 100);
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 100);
        QCOMPARE(all.first(), u"1.circle"_s);
        QCOMPARE(all.last(), u"sparkles"_s);
        // Each one has a glyph of its own (tst_hud checks that every mapped
        // ligature draws as one glyph).
        for (const QString& name : all) {
            QVERIFY2(SymbolGlyphs::isKnown(name), qPrintable(name));
            QVERIFY2(SymbolGlyphs::materialLigature(name) != SymbolGlyphs::fallbackLigature(),
                     qPrintable(name));
        }
    }

    void symbolFilter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("empty lists all") << QString() << 100;
        QTest::newRow("arrow") << u"arrow"_s << 9;
        QTest::newRow("capitals") << u"ARROW"_s << 9;
        QTest::newRow("one blank is not trimmed") << u" "_s << 0;
        QTest::newRow("inner dot") << u"circle"_s << 6;
        QTest::newRow("nothing") << u"no-such"_s << 0;
    }

    void symbolFilter()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        const QStringList found = IconSearch::filteredSymbols(SymbolDatabase::all(), text);
        QCOMPARE(found.size(), count);
        for (const QString& name : found)
            QVERIFY(name.contains(text, Qt::CaseInsensitive));
    }

    void appFilter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const QStringList all{u"org.gnome.Nautilus"_s, u"viewer"_s, u"org.example.Editor"_s};
        QTest::newRow("empty lists all") << QString() << all;
        QTest::newRow("blanks list nothing") << u"  \t\n"_s << QStringList();
        QTest::newRow("localized name") << u"dateien"_s << QStringList{u"org.gnome.Nautilus"_s};
        QTest::newRow("original name only") << u"FILES"_s << QStringList{u"org.gnome.Nautilus"_s};
        QTest::newRow("id only") << u"gnome"_s << QStringList{u"org.gnome.Nautilus"_s};
        QTest::newRow("trimmed") << u"  Betrachter \n"_s << QStringList{u"viewer"_s};
        QTest::newRow("several, order kept") << u"e"_s << all;
        QTest::newRow("inner blank kept") << u"editor x"_s << QStringList();
        QTest::newRow("no match") << u"zzz"_s << QStringList();
    }

    void appFilter()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        const QList<InstalledAppItem> apps{item(u"Dateien"_s, u"Files"_s, u"org.gnome.Nautilus"_s),
                                           item(u"Betrachter"_s, u"Viewer"_s, u"viewer"_s),
                                           item(u"Editor"_s, u"Editor"_s, u"org.example.Editor"_s)};
        QCOMPARE(ids(IconSearch::filteredApps(apps, text)), expected);
        QCOMPARE(ids(AddAppProfileSheet::filteredApps(apps, text)), expected);
    }

    void manualPick_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("entry") << u"sysB/applications/org.example.Viewer.desktop"_s << u"org.example.Viewer"_s
                               << u"Viewer"_s;
        QTest::newRow("unreadable entry")
            << u"broken/org.example.Broken.desktop"_s << u"org.example.Broken"_s << u"org.example.Broken"_s;
    }

    // A chosen desktop file: the id from its name, the name from the entry.
    void manualPick()
    {
        QFETCH(QString, file);
        QFETCH(QString, id);
        QFETCH(QString, name);
        qputenv("LANGUAGE", "en");
        QVERIFY(QDir().mkpath(m_dir.filePath(u"broken"_s)));
        QFile broken(m_dir.filePath(u"broken/org.example.Broken.desktop"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a desktop entry\n");
        broken.close();
        const InstalledAppItem picked = AddAppProfileSheet::itemForDesktopFile(m_dir.filePath(file), m_gio);
        QCOMPARE(picked.bundleId, id);
        QCOMPARE(picked.name, name);
        QCOMPARE(picked.path, m_dir.filePath(file));
    }
};

QTEST_MAIN(TestAppScanner)
#include "tst_appscanner.moc"
