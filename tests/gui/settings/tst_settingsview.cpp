// The settings window's content offscreen, on the shared ring store in a
// temporary data folder: the ring list and its buttons, the editors following
// the selection and undo, the window's undo history, ring files through
// answered dialogs, and what tab switches and a language change keep.
#include "common/AppSettings.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "model/RingFile.h"
#include "platform/fake/FakePlatform.h"
#include "platform/freedesktop/SystemAppearance.h"
#include "platform/Platform.h"
#include "settings/AddAppProfileSheet.h"
#include "settings/IconLibraryView.h"
#include "settings/ProfileHistory.h"
#include "settings/ProfilesView.h"
#include "settings/RingFileExchange.h"
#include "settings/RingVisualEditorView.h"
#include "settings/SettingsView.h"
#include "settings/SlotDetailEditorView.h"
#include "shell/AccessibilityPermissionManager.h"
#include "ShippedStrings.h"

#include <QAbstractButton>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QtTest>
#include <QUndoStack>

namespace {

struct Alert
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

RingProfile ring(const QString& name, const std::optional<QString>& bundleId, const QString& iconPath = {})
{
    QList<ActionSlot> slots;
    for (qint64 i = 0; i < 8; ++i) {
        ActionSlot slot = ActionSlot::empty(i);
        slot.title = QStringLiteral("%1 %2").arg(name).arg(i);
        slot.icon = IconInfo::sfSymbol("star.fill");
        slot.action = ActionType::openURL(QStringLiteral("https://example.org/%1").arg(i));
        slot.isEnabled = true;
        slots << slot;
    }
    return RingProfile(QUuid::createUuid(), name, bundleId,
                       iconPath.isEmpty() ? std::nullopt : std::optional(iconPath), slots, false);
}

QByteArray storeBytes()
{
    QFile file(AppProfileManager::shared().saveFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSettingsView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    RingProfile m_global, m_mail, m_ghost;
    QList<Alert> m_alerts;
    QString m_nextSave, m_nextOpen;
    int m_dialogs = 0;
    std::unique_ptr<SettingsView> m_view;

    AppProfileManager& store() { return AppProfileManager::shared(); }
    ProfilesView* profiles() { return m_view->profilesView(); }
    template<typename T> T* find(const QString& name) { return m_view->findChild<T*>(name); }

    void select(const RingProfile& p)
    {
        QListWidget* list = profiles()->list();
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->data(Qt::UserRole + 1).toString() == p.id.toString())
                list->setCurrentRow(i);
        }
    }

    RingProfile stored(const QUuid& id)
    {
        for (const RingProfile& p : store().profiles())
            if (p.id == id)
                return p;
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        useShippedStrings(m_dir, true);
        // Nothing answers here: the market tab shows its error, never a real server.
        AppSettings::setValue("rx_market_base_url", "http://127.0.0.1:9");

        auto& d = RingFileExchange::dialogs();
        d.saveFileName = [this](QWidget*, const QString&, const QString& proposed, const QStringList&) {
            ++m_dialogs;
            m_nextOpen = QFileInfo(proposed).fileName(); // what was proposed, for the test
            return std::exchange(m_nextSave, QString());
        };
        d.openFileName = [this](QWidget*, const QString&, const QStringList& filters) {
            ++m_dialogs;
            Q_ASSERT(filters.first() == "Rondix ring (*.rondix)");
            return std::exchange(m_nextOpen, QString());
        };
        d.alert = [this](QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text,
                         const QStringList&) {
            m_alerts << Alert{icon, title, text};
            return 0;
        };
    }

    void init()
    {
        L10n::shared().setCurrentLanguage("en");
        m_global = ring("Global", std::nullopt);
        m_mail = ring("Mail", "org.example.Mail",
                      RONDIX_BINARY_DIR "/packaging/org.rondix.Rondix.desktop");
        // Imported for an application that is not installed.
        m_ghost = ring("Ghost", "org.example.Ghost", "/nonexistent/ghost.desktop");
        store().setProfiles({m_global, m_mail, m_ghost});
        store().setSelectedProfileId(m_global.id);
        QVERIFY(store().saveProfiles());
        m_alerts.clear();
        m_dialogs = 0;
        m_view = std::make_unique<SettingsView>();
        m_view->resize(1000, 720);
        m_view->show();
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    }

    void cleanup() { m_view.reset(); }

    void listRowsAndButtons()
    {
        QListWidget* list = profiles()->list();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), "Global Ring (Default)");
        QCOMPARE(list->item(0)->data(Qt::AccessibleTextRole).toString(), "Global Ring (Default), Global");
        QCOMPARE(list->item(1)->text(), "Mail");
        QCOMPARE(list->item(2)->text(), "Ghost");
        QVERIFY(!list->item(2)->icon().isNull()); // the fallback symbol
        QCOMPARE(list->currentRow(), 0);

        QCOMPARE(find<QAbstractButton>("summonTestButton")->text(), "Test Summon (Alt+Space)");
    }

    void trashAndDetail_data()
    {
        QTest::addColumn<int>("which"); // 0 global, 1 app, 2 nothing
        QTest::addColumn<bool>("trash");
        QTest::addColumn<bool>("detail");
        QTest::newRow("global ring") << 0 << false << true;
        QTest::newRow("application ring") << 1 << true << true;
        QTest::newRow("nothing selected") << 2 << false << false;
    }

    void trashAndDetail()
    {
        QFETCH(int, which);
        if (which == 2)
            store().setSelectedProfileId(std::nullopt);
        else
            select(which == 0 ? m_global : m_mail);
        QFETCH(bool, trash);
        QCOMPARE(find<QAbstractButton>("deleteProfileButton")->isVisible(), trash);
        QFETCH(bool, detail);
        QCOMPARE(find<QStackedWidget>("profileDetailStack")->currentIndex(), detail ? 1 : 0);
        QCOMPARE(profiles()->ringEditor() != nullptr, detail);
        QCOMPARE(profiles()->list()->count(), 3); // the list shows every ring either way
        if (detail)
            QCOMPARE(find<QLabel>("profileTitle")->text(), which == 0 ? "Global Ring (Default)" : "Mail");
    }

    // A ring named by a file someone shared cannot push the window wider.
    void longNameKeepsTheWindowSize()
    {
        RingProfile named = ring(QString(2000, QLatin1Char('W')), "org.example.Long");
        store().setProfiles({m_global, m_mail, named});
        select(named);
        QTest::mouseClick(find<QAbstractButton>("clearProfileButton"), Qt::LeftButton);
        QVERIFY(find<QWidget>("undoBar")->isVisible());
        QVERIFY2(m_view->minimumSizeHint().width() < 1400,
                 qPrintable(QString::number(m_view->minimumSizeHint().width())));
    }

    void selectionResetsSlot()
    {
        profiles()->ringEditor()->setSelectedSlotIndex(3);
        QCOMPARE(profiles()->selectedSlotIndex(), 3);
        QCOMPARE(profiles()->slotEditor()->slot().index, 3);
        QCOMPARE(profiles()->slotEditor()->slot().title, "Global 3");
        select(m_mail);
        QCOMPARE(profiles()->selectedSlotIndex(), 0);
        QCOMPARE(profiles()->ringEditor()->selectedSlotIndex(), 0);
        QCOMPARE(profiles()->slotEditor()->slot().title, "Mail 0");
        QCOMPARE(store().selectedProfileId(), std::optional(m_mail.id));
    }

    // Clear and delete act on the first click; the bar, Ctrl+Z and Ctrl+Shift+Z
    // take them back and forth, byte for byte.
    void clearAndDeleteAtOnce()
    {
        select(m_mail);
        const QByteArray before = storeBytes();
        QTest::mouseClick(find<QAbstractButton>("clearProfileButton"), Qt::LeftButton);
        QVERIFY(m_alerts.isEmpty());
        const QList<ActionSlot> cleared = stored(m_mail.id).slots;
        QVERIFY(std::all_of(cleared.begin(), cleared.end(), [](const ActionSlot& s) { return s.isEmpty(); }));
        QVERIFY(find<QWidget>("undoBar")->isVisible());
        QCOMPARE(find<QLabel>("undoBarText")->text(), "Cleared the sectors of “Mail”.");
        QTest::mouseClick(find<QAbstractButton>("undoBarButton"), Qt::LeftButton);
        QCOMPARE(storeBytes(), before);
        QVERIFY(!find<QWidget>("undoBar")->isVisible());
        QCOMPARE(profiles()->slotEditor()->slot().title, "Mail 0"); // the editors follow

        QTest::mouseClick(find<QAbstractButton>("deleteProfileButton"), Qt::LeftButton);
        QVERIFY(stored(m_mail.id).id.isNull());
        QCOMPARE(profiles()->list()->count(), 2);
        QCOMPARE(store().selectedProfileId(), std::optional(m_global.id));
        QTest::keyClick(m_view.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(storeBytes(), before);
        QCOMPARE(profiles()->list()->item(1)->text(), "Mail");
        QCOMPARE(store().selectedProfileId(), std::optional(m_mail.id));
    }

    // Typing in a field is one step; Ctrl+Z in that field undoes the step, and
    // the field shows the title from before.
    void textFieldEditIsOneStep()
    {
        select(m_mail);
        auto* title = profiles()->slotEditor()->findChild<QLineEdit*>("slotTitleField");
        QVERIFY(title);
        title->setFocus();
        title->selectAll();
        QTest::keyClicks(title, "Compose");
        QCOMPARE(stored(m_mail.id).slotAt(0)->title, "Compose");
        QCOMPARE(m_view->history()->stack()->count(), 1);
        QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(stored(m_mail.id).slotAt(0)->title, "Mail 0");
        title = profiles()->slotEditor()->findChild<QLineEdit*>("slotTitleField");
        QCOMPARE(title->text(), "Mail 0");
        QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(stored(m_mail.id).slotAt(0)->title, "Compose");
    }

    // The add sheet adds through the store itself; the window records it as one step.
    void addSheetIsOneStep()
    {
        const QByteArray before = storeBytes();
        QTest::mouseClick(find<QAbstractButton>("addProfileButton"), Qt::LeftButton);
        auto* sheet = m_view->findChild<AddAppProfileSheet*>();
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        sheet->addProfile({"Calculator", "Calculator", "org.gnome.Calculator", "/x/calc.desktop"});
        QTRY_VERIFY(!m_view->findChild<AddAppProfileSheet*>());
        QCOMPARE(store().profiles().size(), 4);
        QCOMPARE(store().selectedProfileId(), std::optional(store().profiles().last().id));
        QCOMPARE(find<QLabel>("profileTitle")->text(), "Calculator");
        QCOMPARE(m_view->history()->stack()->count(), 1);
        m_view->activateWindow(); // the sheet's window had the focus
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        QTest::keyClick(m_view.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(storeBytes(), before);
        QCOMPARE(profiles()->list()->count(), 3);
    }

    void pickedIconReachesTheStore()
    {
        select(m_mail);
        profiles()->ringEditor()->setSelectedSlotIndex(2);
        // Picked in the library under the editors.
        auto* library = m_view->findChild<IconLibraryView*>();
        QVERIFY(library);
        Q_EMIT library->iconSelected(IconInfo::app("org.gnome.Calculator", "Calculator", "/x/calc.desktop"));
        const ActionSlot slot = *stored(m_mail.id).slotAt(2);
        QCOMPARE(slot.title, "Calculator");
        QCOMPARE(slot.action, ActionType::launchApp("org.gnome.Calculator", "Calculator", "/x/calc.desktop"));
        QCOMPARE(profiles()->slotEditor()->slot(), slot);
    }

    void exportThenImport()
    {
        select(m_mail);
        const QString path = m_dir.filePath("out/Mail.rondix");
        QDir().mkpath(m_dir.filePath("out"));
        m_nextSave = path;
        QTest::mouseClick(find<QAbstractButton>("exportProfileButton"), Qt::LeftButton);
        QCOMPARE(m_nextOpen, "Mail.rondix"); // the proposed name
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, "Export Complete");
        QCOMPARE(m_alerts[0].text, "The ring was exported to:\nMail.rondix");
        QCOMPARE(RingFile::decode(path, nullptr), stored(m_mail.id));

        // Importing it back changes nothing but the selection.
        select(m_global);
        const QList<RingProfile> before = store().profiles();
        m_nextOpen = path;
        QTest::mouseClick(find<QAbstractButton>("importProfileButton"), Qt::LeftButton);
        QCOMPARE(m_alerts.size(), 2);
        QCOMPARE(m_alerts[1].icon, QMessageBox::Information);
        QCOMPARE(m_alerts[1].text, "The ring “Mail” was imported and selected.");
        QCOMPARE(store().profiles(), before);
        QCOMPARE(store().selectedProfileId(), std::optional(m_mail.id));
        QCOMPARE(profiles()->list()->currentRow(), 1);

        // A file missing one member fails and changes no ring.
        QFile bad(m_dir.filePath("out/bad.rondix"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        QJsonObject json = QJsonDocument::fromJson(RingFile::encode(m_ghost)).object();
        QJsonArray slots = json["slots"].toArray();
        QJsonObject first = slots[0].toObject();
        first.remove("isEnabled");
        slots[0] = first;
        json["slots"] = slots;
        bad.write(QJsonDocument(json).toJson());
        bad.close();
        const QByteArray bytes = storeBytes();
        m_nextOpen = bad.fileName();
        QTest::mouseClick(find<QAbstractButton>("importProfileButton"), Qt::LeftButton);
        QCOMPARE(m_alerts.size(), 3);
        QCOMPARE(m_alerts[2].icon, QMessageBox::Critical);
        QCOMPARE(m_alerts[2].title, "Import Failed");
        QVERIFY2(m_alerts[2].text.contains("isEnabled: missing"), qPrintable(m_alerts[2].text));
        QCOMPARE(storeBytes(), bytes);

        // Cancelling either dialog does nothing at all.
        m_alerts.clear();
        m_dialogs = 0;
        QTest::mouseClick(find<QAbstractButton>("exportProfileButton"), Qt::LeftButton);
        m_nextOpen.clear();
        QTest::mouseClick(find<QAbstractButton>("importProfileButton"), Qt::LeftButton);
        QCOMPARE(m_dialogs, 2);
        QVERIFY(m_alerts.isEmpty());
        QCOMPARE(storeBytes(), bytes);
    }

    void themeAndSummon()
    {
        auto lightness = [this] { return m_view->palette().color(QPalette::Window).lightness(); };
        AppSettings::setValue("rondix_theme_mode", "dark");
        QVERIFY(lightness() < 128);
        AppSettings::setValue("rondix_theme_mode", "light");
        QVERIFY(lightness() > 128);
        AppSettings::remove("rondix_theme_mode");
        QCOMPARE(lightness() < 128, SystemAppearance::shared().isDark());

        // The test button shows the global ring (no application was used before).
        QSignalSpy shown(&WhirloPanel::shared(), &WhirloPanel::shown);
        QTest::mouseClick(find<QAbstractButton>("summonTestButton"), Qt::LeftButton);
        QTRY_VERIFY(WhirloPanel::shared().isShown());
        QCOMPARE(WhirloPanel::shared().hud()->controller().profile().id, m_global.id);
        WhirloPanel::shared().hide();
    }

    void permissionBanner()
    {
        auto* trust = static_cast<FakeInputTrust*>(Platform::instance().trust);
        trust->trusted = false;
        AccessibilityPermissionManager::shared().checkPermission();
        QVERIFY(find<QWidget>("permissionBanner")->isVisible());
        trust->trusted = true;
        AccessibilityPermissionManager::shared().checkPermission();
        QVERIFY(!find<QWidget>("permissionBanner")->isVisible());
    }

    // Tabs keep their pages; a language change makes the pages and editors
    // afresh but keeps the tab and the sector.
    void tabsAndLanguage()
    {
        select(m_mail);
        profiles()->ringEditor()->setSelectedSlotIndex(4);
        QWidget* market = m_view->page(SettingsRules::SettingsTab::market);
        RingVisualEditorView* ringEditor = profiles()->ringEditor();
        QTest::mouseClick(find<QAbstractButton>("settingsTab-market"), Qt::LeftButton);
        QCOMPARE(m_view->selectedTab(), SettingsRules::SettingsTab::market);
        QTest::keyClick(m_view.get(), Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(m_view->selectedTab(), SettingsRules::SettingsTab::profiles);
        QCOMPARE(m_view->page(SettingsRules::SettingsTab::market), market);
        QCOMPARE(profiles()->ringEditor(), ringEditor);
        QCOMPARE(profiles()->selectedSlotIndex(), 4);

        m_view->setSelectedTab(SettingsRules::SettingsTab::market);
        L10n::shared().setCurrentLanguage("ja");
        QTRY_COMPARE(find<QAbstractButton>("settingsTab-profiles")->text(), "リングのプロファイル");
        QVERIFY(m_view->page(SettingsRules::SettingsTab::market) != market);
        QCOMPARE(m_view->selectedTab(), SettingsRules::SettingsTab::market);
        QVERIFY(profiles()->ringEditor() != ringEditor);
        QCOMPARE(profiles()->selectedSlotIndex(), 4);
        QCOMPARE(profiles()->slotEditor()->slot().index, 4);
        QCOMPARE(find<QAbstractButton>("exportProfileButton")->text(), L10n::string("profile.export"));
    }

    // The profiles tab as the README shows it. Skipped unless asked for:
    // RONDIX_SCREENSHOT_DIR=docs/screenshots build/bin/tst_settingsview screenshots
    void screenshots_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("theme");
        QTest::newRow("profiles-light") << "en"
                                        << "light";
        QTest::newRow("profiles-dark") << "en"
                                       << "dark";
        QTest::newRow("profiles-ja") << "ja"
                                     << "light";
    }

    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RONDIX_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set RONDIX_SCREENSHOT_DIR to write the pictures");
        QFETCH(QString, language);
        QFETCH(QString, theme);
        m_view.reset();
        AppSettings::setValue("rondix_theme_mode", theme);
        L10n::shared().setCurrentLanguage(language);
        QCoreApplication::processEvents();
        RingProfile global = PresetProfiles::globalDefault();
        store().setProfiles({global, m_mail, m_ghost});
        store().setSelectedProfileId(global.id);
        m_view = std::make_unique<SettingsView>();
        m_view->resize(1100, 760);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        profiles()->ringEditor()->setSelectedSlotIndex(1);
        QTest::qWait(50);
        QVERIFY(m_view->grab().save(QDir(dir).filePath(QString(QTest::currentDataTag()) + ".png")));
        AppSettings::remove("rondix_theme_mode");
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
