// The icon library and the add-application sheet as widgets (offscreen, fake
// platform): counts and search, what a tap and a drag hand on, the scan off
// the main thread, adding a ring, cancelling, and names for every control.
#include "GatedEntries.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "model/ModelJson.h"
#include "platform/fake/FakePlatform.h"
#include "settings/AddAppProfileSheet.h"
#include "settings/AppScanner.h"
#include "settings/IconLibraryView.h"
#include "ShippedStrings.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProgressBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

DesktopEntry entry(const QString& id, const QString& name, const QString& original)
{
    return {id, name, original, {}, u"/usr/share/applications/"_s + id + u".desktop"_s, {}, {}};
}

QListView* grid(QWidget* w, const char* name)
{
    return w->findChild<QListView*>(QString::fromLatin1(name));
}

QString caption(QWidget* w, const char* name)
{
    return w->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

void clickItem(QListView* view, int row)
{
    const QRect r = view->visualRect(view->model()->index(row, 0));
    QVERIFY(r.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
}

} // namespace

class TestIconLibrary : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakePlatform* m_platform = nullptr;

    void showAndWait(QWidget* w)
    {
        w->resize(760, w->height());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

    void loaded(IconLibraryView& view)
    {
        showAndWait(&view);
        QTRY_VERIFY(!view.isLoadingApps());
        QVERIFY(!view.installedApps().isEmpty());
    }

    void saveShot(QWidget* w, const QString& name)
    {
        const QString dir = qEnvironmentVariable("RONDIX_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            w->grab().save(dir + u'/' + name + u".png"_s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(u"en"_s));
        useShippedStrings(m_dir, true);
        // One platform for the whole run: the shared icon cache keeps its entries.
        m_platform = new FakePlatform(this);
        m_platform->fakeDesktopEntries->entries = {
            entry(u"org.example.Viewer"_s, u"Betrachter"_s, u"Viewer"_s),
            entry(u"org.example.Editor"_s, u"Editor"_s, u"Editor"_s),
            entry(u"org.gnome.Nautilus"_s, u"Files"_s, u"Files"_s),
            entry(u"org.example.Mail"_s, u"Mail"_s, u"Mail"_s),
        };
        m_platform->fakeDesktopEntries->defaultHandlers[AppScanner::fileManagerMimeType()] =
            m_platform->fakeDesktopEntries->entries.at(2);
        Platform::setInstance(m_platform);
    }

    void init() { AppScanner::clearCache(); }

    void cleanup() { m_platform->desktopEntries = m_platform->fakeDesktopEntries; }

    void countsAndSearch()
    {
        IconLibraryView view;
        loaded(view);
        saveShot(&view, u"icon-library-symbols"_s);
        QListView* symbols = grid(&view, "symbolGrid");
        QListView* apps = grid(&view, "appGrid");
        QCOMPARE(symbols->model()->rowCount(), 100);
        QCOMPARE(caption(&view, "symbolsCaption"), u"Curated symbols (100, duplicates removed)"_s);
        QCOMPARE(apps->model()->rowCount(), 4);
        QCOMPARE(caption(&view, "appsCaption"), u"Installed applications (4)"_s);
        QVERIFY(!view.findChild<QAbstractButton*>(u"iconSearchClear"_s)->isVisible());

        QTest::keyClicks(view.findChild<QLineEdit*>(u"iconSearchField"_s), u"arrow"_s);
        QCOMPARE(symbols->model()->rowCount(), 9);
        QCOMPARE(caption(&view, "symbolsCaption"), u"Results (9)"_s);
        QCOMPARE(apps->model()->rowCount(), 0);

        // The one field serves both tabs; switching keeps the text.
        QTest::mouseClick(view.findChild<QAbstractButton*>(u"iconTabApps"_s), Qt::LeftButton);
        QCOMPARE(view.selectedTab(), int(IconLibraryView::ApplicationsTab));
        QVERIFY(apps->isVisible() && !symbols->isVisible());
        QCOMPARE(view.searchText(), u"arrow"_s);
        view.setSearchText(u"  files "_s);
        QCOMPARE(apps->model()->rowCount(), 1);
        QCOMPARE(caption(&view, "appsCaption"), u"Installed applications (1)"_s);
        QCOMPARE(symbols->model()->rowCount(), 0);
        saveShot(&view, u"icon-library-apps"_s);

        view.setSearchText(u" "_s);
        QCOMPARE(caption(&view, "symbolsCaption"), u"Results (0)"_s);
        QCOMPARE(apps->model()->rowCount(), 0);
        QTest::mouseClick(view.findChild<QAbstractButton*>(u"iconSearchClear"_s), Qt::LeftButton);
        QCOMPARE(view.searchText(), QString());
        QCOMPARE(apps->model()->rowCount(), 4);
        QCOMPARE(symbols->model()->rowCount(), 100);
    }

    void tapAndDragHandOnTheIcon_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("row");
        QTest::addColumn<IconInfo>("expected");
        QTest::newRow("first symbol") << 0 << QString() << 0 << IconInfo::sfSymbol(u"1.circle"_s);
        QTest::newRow("searched symbol") << 0 << u"LOCK"_s << 1 << IconInfo::sfSymbol(u"lock.open"_s);
        QTest::newRow("application") << 1 << QString() << 0
                                     << IconInfo::app(
                                            u"org.example.Viewer"_s, u"Betrachter"_s,
                                            u"/usr/share/applications/org.example.Viewer.desktop"_s);
        QTest::newRow("application by id")
            << 1 << u"gnome"_s << 0
            << IconInfo::app(u"org.gnome.Nautilus"_s, u"Files"_s,
                             u"/usr/share/applications/org.gnome.Nautilus.desktop"_s);
    }

    void tapAndDragHandOnTheIcon()
    {
        QFETCH(int, tab);
        QFETCH(QString, search);
        QFETCH(int, row);
        QFETCH(IconInfo, expected);
        IconLibraryView view;
        loaded(view);
        QList<IconInfo> picked;
        connect(&view, &IconLibraryView::iconSelected, this, [&picked](const IconInfo& i) { picked << i; });
        view.setSelectedTab(tab);
        view.setSearchText(search);
        QListView* list = grid(&view, tab == 0 ? "symbolGrid" : "appGrid");
        clickItem(list, row);
        QCOMPARE(picked, QList<IconInfo>{expected});

        // The keyboard picks the same way.
        list->setFocus();
        list->setCurrentIndex(list->model()->index(row, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(picked.size(), 2);
        QCOMPARE(picked.last(), expected);

        // The drag carries the icon's JSON under the shared type, which the
        // ring editor reads back.
        QVERIFY(list->dragEnabled());
        std::unique_ptr<QMimeData> mime(list->model()->mimeData({list->model()->index(row, 0)}));
        QVERIFY(mime);
        QCOMPARE(mime->formats(), QStringList{IconInfo::dragMimeType()});
        QCOMPARE(mime->data(u"application/x-rondix-icon+json"_s), encodeIconInfo(expected));
        QCOMPARE(decodeIconInfo(mime->data(IconInfo::dragMimeType())), std::optional<IconInfo>(expected));
        // The help text names the item.
        const QString help = list->model()->index(row, 0).data(Qt::ToolTipRole).toString();
        QVERIFY2(help.contains(expected.isApp() ? expected.displayName() : *expected.sfSymbolName()),
                 qPrintable(help));
    }

    // The scan runs on another thread: while it is held, the window keeps
    // handling events and shows the progress; a second library in the same
    // window opening takes the list from the cache, without progress.
    void scanKeepsTheWindowResponsive()
    {
        GatedEntries gated;
        gated.entries = m_platform->fakeDesktopEntries->entries;
        m_platform->desktopEntries = &gated;
        IconLibraryView view;
        view.setSelectedTab(IconLibraryView::ApplicationsTab);
        QSignalSpy loadedSpy(&view, &IconLibraryView::installedAppsLoaded);
        showAndWait(&view);
        QVERIFY(view.isLoadingApps());
        QVERIFY(gated.entered.tryAcquire(1, 5000));
        bool timerRan = false;
        QTimer::singleShot(20, this, [&timerRan] { timerRan = true; });
        QTRY_VERIFY(timerRan);
        QVERIFY(view.isLoadingApps());
        QVERIFY(view.findChild<QProgressBar*>(u"appsScanProgress"_s)->isVisible());
        QVERIFY(!grid(&view, "appGrid")->isVisible());
        // Typing still works while the scan is held.
        QTest::keyClicks(view.findChild<QLineEdit*>(u"iconSearchField"_s), u"ed"_s);
        QCOMPARE(view.searchText(), u"ed"_s);
        gated.gate.release();
        QTRY_COMPARE(loadedSpy.size(), 1);
        QVERIFY(!view.isLoadingApps());
        QVERIFY(grid(&view, "appGrid")->isVisible());
        QCOMPARE(grid(&view, "appGrid")->model()->rowCount(), 1); // Editor
        QCOMPARE(view.installedApps().first().bundleId, u"org.example.Viewer"_s);

        IconLibraryView again;
        again.setSelectedTab(IconLibraryView::ApplicationsTab);
        again.show();
        QVERIFY(!again.isLoadingApps());
        QCOMPARE(again.installedApps(), view.installedApps());
        QVERIFY(!again.findChild<QProgressBar*>(u"appsScanProgress"_s)->isVisibleTo(&again));
        QCOMPARE(gated.entered.available(), 0); // no second scan
    }

    // A library closed while its scan runs drops the result quietly.
    void libraryClosedDuringScan()
    {
        GatedEntries gated;
        gated.entries = m_platform->fakeDesktopEntries->entries;
        m_platform->desktopEntries = &gated;
        auto* view = new IconLibraryView;
        view->show();
        QVERIFY(gated.entered.tryAcquire(1, 5000));
        delete view;
        gated.gate.release();
        QTRY_VERIFY(AppScanner::cachedApps().has_value());
        QCoreApplication::processEvents();
    }

    // (Adding by keyboard alone is the desktop test's.)
    void sheetAddsRingAndCloses()
    {
        AppProfileManager& store = AppProfileManager::shared();
        store.resetToDefaults();
        QWidget window;
        showAndWait(&window);
        AddAppProfileSheet sheet(&window);
        QCOMPARE(sheet.windowModality(), Qt::WindowModal);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        saveShot(&sheet, u"add-app-sheet"_s);
        auto* list = sheet.findChild<QListView*>(u"appList"_s);
        QCOMPARE(list->model()->rowCount(), 4);
        auto* search = sheet.findChild<QLineEdit*>(u"appSearchField"_s);
        search->setFocus();
        QTest::keyClicks(search, u" viewer "_s);
        QCOMPARE(list->model()->rowCount(), 1);
        const QRect row = list->visualRect(list->model()->index(0, 0));
        // Clicking the row beside the button adds nothing.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(row.left() + 60, row.center().y()));
        QVERIFY(sheet.isVisible());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(row.right() - 20, row.center().y()));
        QTRY_VERIFY(!sheet.isVisible());
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        const RingProfile added = store.selectedProfile();
        QCOMPARE(added.bundleIdentifier, std::optional<QString>(u"org.example.Viewer"_s));
        QCOMPARE(added.name, u"Betrachter"_s);
        QCOMPARE(added.appIconPath,
                 std::optional<QString>(u"/usr/share/applications/org.example.Viewer.desktop"_s));
        QCOMPARE(store.profiles().size(), 2);
        // The store file holds it.
        QFile file(store.saveFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("org.example.Viewer"));
    }

    void sheetCancelsAndBrowses()
    {
        AppProfileManager& store = AppProfileManager::shared();
        store.resetToDefaults();
        const QList<RingProfile> before = store.profiles();
        QWidget window;
        showAndWait(&window);
        {
            AddAppProfileSheet sheet(&window);
            sheet.open();
            QVERIFY(QTest::qWaitForWindowExposed(&sheet));
            QTest::keyClicks(sheet.findChild<QLineEdit*>(u"appSearchField"_s), u"mail"_s);
            QTest::keyClick(&sheet, Qt::Key_Escape);
            QVERIFY(!sheet.isVisible());
            QCOMPARE(sheet.result(), int(QDialog::Rejected));
        }
        {
            AddAppProfileSheet sheet(&window);
            sheet.open();
            QTest::mouseClick(sheet.findChild<QAbstractButton*>(u"cancelButton"_s), Qt::LeftButton);
            QVERIFY(!sheet.isVisible());
        }
        QCOMPARE(store.profiles(), before);

        // Browsing by hand: cancelling the chooser leaves the sheet open and
        // the rings alone; a chosen entry adds its ring and closes the sheet.
        const QString chosen = m_dir.filePath(u"org.example.Picked.desktop"_s);
        QFile f(chosen);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=Picked\nExec=true\n");
        f.close();
        m_platform->fakeDesktopEntries->entries.append(entry(u"ignored"_s, u"Picked by hand"_s, u"Picked"_s));
        m_platform->fakeDesktopEntries->entries.last().path = chosen;
        AddAppProfileSheet sheet(&window);
        QString answer;
        QString startedIn;
        sheet.setFilePicker([&](QWidget*, const QString& startIn) {
            startedIn = startIn;
            return answer;
        });
        sheet.open();
        QTest::mouseClick(sheet.findChild<QAbstractButton*>(u"browseManually"_s), Qt::LeftButton);
        QCOMPARE(startedIn, u"/usr/share/applications"_s);
        QVERIFY(sheet.isVisible());
        QCOMPARE(store.profiles(), before);
        answer = chosen;
        QTest::mouseClick(sheet.findChild<QAbstractButton*>(u"browseManually"_s), Qt::LeftButton);
        QTRY_VERIFY(!sheet.isVisible());
        m_platform->fakeDesktopEntries->entries.removeLast();
        const RingProfile added = store.selectedProfile();
        QCOMPARE(added.bundleIdentifier, std::optional<QString>(u"org.example.Picked"_s));
        QCOMPARE(added.name, u"Picked by hand"_s);
        QCOMPARE(added.appIconPath, std::optional<QString>(chosen));
    }

    void everyControlHasAName_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("symbolsTab");
        QTest::newRow("english") << u"en"_s << u"Symbols"_s;
        QTest::newRow("japanese") << u"ja"_s << QString();
    }

    void everyControlHasAName()
    {
        QFETCH(QString, language);
        QFETCH(QString, symbolsTab);
        IconLibraryView view;
        loaded(view);
        QWidget window;
        AddAppProfileSheet sheet(&window);
        sheet.show();
        L10n::shared().setCurrentLanguage(language);
        QTRY_COMPARE(L10n::shared().effectiveLanguageCode(), language);
        QCoreApplication::processEvents();
        const QString tabText = view.findChild<QAbstractButton*>(u"iconTabSymbols"_s)->text();
        if (!symbolsTab.isEmpty())
            QCOMPARE(tabText, symbolsTab);
        else
            QVERIFY(tabText != u"Symbols"_s);
        for (QWidget* root : {static_cast<QWidget*>(&view), static_cast<QWidget*>(&sheet)}) {
            const QList<QWidget*> controls = root->findChildren<QWidget*>();
            for (QWidget* w : controls) {
                const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                     qobject_cast<QAbstractItemView*>(w) || qobject_cast<QProgressBar*>(w);
                if (control)
                    QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            }
            for (QListView* list : root->findChildren<QListView*>()) {
                for (int r = 0; r < list->model()->rowCount(); ++r)
                    QVERIFY(!list->model()->index(r, 0).data(Qt::AccessibleTextRole).toString().isEmpty());
            }
        }
        L10n::shared().setCurrentLanguage(u"en"_s);
        QTRY_COMPARE(L10n::shared().effectiveLanguageCode(), u"en"_s);
    }
};

QTEST_MAIN(TestIconLibrary)
#include "tst_iconlibrary.moc"
