// The icon library and the add-application sheet on a real X server with
// openbox (tests/session/run-session) and the real desktop-entry backend: an
// application installed under $XDG_DATA_HOME/applications is found, added by
// keyboard alone, and its icon dragged from the library onto a sector.
#include "DesktopWidgets.h"
#include "TestFiles.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "platform/Platform.h"
#include "settings/AddAppProfileSheet.h"
#include "settings/AppScanner.h"
#include "settings/IconLibraryView.h"
#include "settings/RingVisualEditorView.h"
#include "ShippedStrings.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestIconLibraryX11 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_entryPath;

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString missing = desktopMissing(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        // GIO reads the data folders once: the entry is there before the first scan.
        qputenv("LANGUAGE", "en");
        useShippedStrings(m_dir, true);
        m_entryPath = m_dir.filePath(u"data/applications/org.rondix.TestPad.desktop"_s);
        QVERIFY(writeFile(m_entryPath, "[Desktop Entry]\nType=Application\nName=Quokka TestPad\n"
                                       "Name[ja]=クオッカ\nExec=true\nIcon=accessories-text-editor\n"));
        AppProfileManager::shared().resetToDefaults();
    }

    void init() { AppScanner::clearCache(); }

    // Keyboard alone: type the name, Return into the list, Return adds.
    void sheetAddsAnInstalledApplication()
    {
        AppProfileManager& store = AppProfileManager::shared();
        QWidget window;
        window.resize(600, 400);
        QVERIFY(activateOnDesktop(&window));
        AddAppProfileSheet sheet(&window);
        sheet.open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        xdotool(u"windowactivate --sync "_s + QString::number(sheet.winId()));
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        auto* search = sheet.findChild<QLineEdit*>(u"appSearchField"_s);
        QTRY_VERIFY(search->hasFocus());
        xdotool({u"type"_s, u"--delay"_s, u"30"_s, u"  quokka "_s});
        QTRY_COMPARE(search->text(), u"  quokka "_s);
        auto* list = sheet.findChild<QListView*>(u"appList"_s);
        QCOMPARE(list->model()->rowCount(), 1);
        xdotool(u"key Return"_s);
        QTRY_VERIFY(list->hasFocus());
        xdotool(u"key Return"_s);
        QTRY_VERIFY(!sheet.isVisible());

        const RingProfile added = store.selectedProfile();
        QCOMPARE(added.bundleIdentifier, std::optional<QString>(u"org.rondix.TestPad"_s));
        QCOMPARE(added.name, u"Quokka TestPad"_s);
        QCOMPARE(added.appIconPath, std::optional<QString>(m_entryPath));
        QFile file(store.saveFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("org.rondix.TestPad"));
    }

    // A real drag from the library onto the west sector of the ring editor.
    void dragFromTheLibraryOntoASector_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("search");
        QTest::addColumn<IconInfo>("icon");
        QTest::newRow("symbol") << 0 << u"paperclip"_s << IconInfo::sfSymbol(u"paperclip"_s);
        QTest::newRow("application") << 1 << u"quokka"_s
                                     << IconInfo::app(u"org.rondix.TestPad"_s, u"Quokka TestPad"_s,
                                                      m_entryPath);
    }

    void dragFromTheLibraryOntoASector()
    {
        QFETCH(int, tab);
        QFETCH(QString, search);
        QFETCH(IconInfo, icon);
        QList<ActionSlot> updates;
        RingProfile ring = PresetProfiles::globalDefault();
        for (qint64 i = 0; i < 8; ++i)
            ring.updateSlot(ActionSlot::empty(i));
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        auto* library = new IconLibraryView;
        library->setFixedWidth(560);
        layout->addWidget(library, 0, Qt::AlignBottom);
        auto* editor = new RingVisualEditorView(ring, 0, [&](const ActionSlot& s) { updates.append(s); });
        layout->addWidget(editor);
        QVERIFY(activateOnDesktop(&window));
        QTRY_VERIFY(!library->isLoadingApps());
        library->setSelectedTab(tab);
        library->setSearchText(search);
        auto* grid = library->findChild<QListView*>(tab == 0 ? u"symbolGrid"_s : u"appGrid"_s);
        QCOMPARE(grid->model()->rowCount(), 1);
        QCoreApplication::processEvents();
        if (const QString shots = qEnvironmentVariable("RONDIX_SCREENSHOT_DIR"); !shots.isEmpty()) {
            library->setSearchText({});
            QCoreApplication::processEvents();
            library->grab().save(shots + u"/icon-library-x11-"_s + QString::number(tab) + u".png"_s);
            library->setSearchText(search);
        }

        const QRect cell = grid->visualRect(grid->model()->index(0, 0));
        const QPoint from = grid->viewport()->mapToGlobal(cell.center());
        const QPoint to = editor->ringArea()->mapToGlobal(QPoint(150 - 100, 150)); // west: sector 6
        QProcess xdo;
        startDragGesture(xdo, from, to);
        QTRY_VERIFY_WITH_TIMEOUT(xdo.state() == QProcess::NotRunning, 10000);
        QTRY_COMPARE(updates.size(), 1);
        QCOMPARE(updates[0].id, ring.slotAt(6)->id);
        QCOMPARE(updates[0].icon, icon);
        // An application makes the sector launch it; a symbol changes the picture only.
        QCOMPARE(updates[0].isEnabled, icon.isApp());
        if (icon.isApp()) {
            QCOMPARE(updates[0].title, u"Quokka TestPad"_s);
            QCOMPARE(updates[0].action,
                     ActionType::launchApp(u"org.rondix.TestPad"_s, u"Quokka TestPad"_s, m_entryPath));
        }
        // The sector dropped on becomes the one being edited.
        QCOMPARE(editor->selectedSlotIndex(), 6);
    }
};

QTEST_MAIN(TestIconLibraryX11)
#include "tst_iconlibrary_x11.moc"
