// The general page, its recorders and the permission guide as widgets
// (offscreen, fake platform): what each control writes and does, the parts
// that follow the permission state, keyboard use, and names for every control.
// With RONDIX_SCREENSHOT_DIR set, the page (light, dark, Japanese) and the
// guide are also written there as PNG files.
#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "platform/fake/FakePlatform.h"
#include "settings/AppearanceSelectorView.h"
#include "settings/GeneralSettingsView.h"
#include "settings/HotkeyRecorderView.h"
#include "settings/MouseButtonRecorderView.h"
#include "settings/PermissionGuideRules.h"
#include "settings/PermissionGuideView.h"
#include "shell/AccessibilityPermissionManager.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"
#include "shell/PermissionGuideWindow.h"
#include "ShippedStrings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x20));
    p.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2d));
    p.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x36));
    p.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    p.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::PlaceholderText, QColor(0x98, 0x98, 0x9d));
    p.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    p.setColor(QPalette::Link, QColor(0x40, 0x9c, 0xff));
    return p;
}

} // namespace

class TestGeneralPage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakePlatform* m_platform = nullptr;
    HotkeyManager* m_hotkeys = nullptr;
    MouseTriggerManager* m_mouse = nullptr;
    AccessibilityPermissionManager* m_permission = nullptr;
    int m_hovers = 0;
    int m_relaunches = 0;
    QList<QWidget*> m_guideRequests;

    GeneralSettingsView::Services services()
    {
        GeneralSettingsView::Services s;
        s.l10n = &L10n::shared();
        s.permission = m_permission;
        s.hotkeys = m_hotkeys;
        s.mouseTrigger = m_mouse;
        s.input = m_platform->fakeInput;
        s.loginItem = m_platform->fakeLoginItem;
        s.opener = m_platform->fakeOpener;
        s.hooks.playHover = [this] { ++m_hovers; };
        s.hooks.hideFromTaskbar = [](bool) {};
        s.relaunch = [this] { ++m_relaunches; };
        s.showPermissionGuide = [this](QWidget* w) { m_guideRequests << w; };
        return s;
    }

    void setGranted(bool granted)
    {
        m_platform->fakeTrust->trusted = granted;
        m_permission->checkPermission();
        // The guide shown as a sheet reads the shared manager.
        AccessibilityPermissionManager::shared().checkPermission();
    }

    static void shoot(QWidget* w, const QString& name)
    {
        const QString dir = qEnvironmentVariable("RONDIX_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QCoreApplication::processEvents();
        QVERIFY(w->grab().save(dir + QLatin1Char('/') + name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        useShippedStrings(m_dir);
        m_platform = new FakePlatform(qApp); // outlives the shared managers' last use
        Platform::setInstance(m_platform);
        m_hotkeys = new HotkeyManager(m_platform->fakeHotkeys, m_platform->fakeInput, this);
        m_hotkeys->startListening();
        m_mouse = new MouseTriggerManager(m_platform->fakeInput, this);
        m_permission = new AccessibilityPermissionManager(m_platform->fakeTrust, this);
    }

    void init()
    {
        m_hovers = 0;
        m_relaunches = 0;
        m_guideRequests.clear();
        setGranted(true);
    }

    // Every control a keyboard or screen-reader user meets has a name, and
    // Tab reaches each of them.
    void everyControlIsNamedAndReachable()
    {
        setGranted(false);
        GeneralSettingsView page(services());
        page.resize(720, 900);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QList<QWidget*> controls;
        for (QWidget* w : page.findChildren<QWidget*>()) {
            if (!w->isVisibleTo(&page) || !(qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w)))
                continue;
            controls << w;
            const QString name = w->accessibleName().isEmpty()
                                     ? (qobject_cast<QAbstractButton*>(w) ? qobject_cast<QAbstractButton*>(w)->text()
                                                                          : QString())
                                     : w->accessibleName();
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(w->objectName() + " has no name"));
        }
        QVERIFY(controls.size() >= 16);
        QSet<QWidget*> reached;
        QWidget* w = controls.first();
        w->setFocus();
        for (int i = 0; i < 200 && reached.size() < controls.size(); ++i) {
            if (controls.contains(QApplication::focusWidget()))
                reached.insert(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (QWidget* c : controls)
            QVERIFY2(reached.contains(c), qPrintable(c->objectName() + " is not reached with Tab"));
    }

    void controlsWriteTheirSettings()
    {
        GeneralSettingsView page(services());
        page.show();
        auto* selector = page.findChild<AppearanceSelectorView*>();
        // Keyboard: Space on a focused card chooses it.
        AppearanceCard* light = selector->cards()[1];
        light->setFocus();
        QTest::keyClick(light, Qt::Key_Space);
        QCOMPARE(AppSettings::value("rondix_theme_mode").toString(), "light");
        QVERIFY(light->isChecked());
        // The chosen look eases in over 0.15 s rather than jumping.
        QVERIFY2(light->emphasis() < 1.0, "the card is drawn chosen at once");
        QTRY_COMPARE_WITH_TIMEOUT(light->emphasis(), 1.0, 1000);
        QTest::mouseClick(light, Qt::LeftButton); // choosing it again keeps it chosen
        QVERIFY(light->isChecked());
        // A change made elsewhere (another window) shows here too.
        AppSettings::setValue("rondix_theme_mode", "dark");
        QVERIFY(selector->cards()[2]->isChecked() && !light->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(light->emphasis(), 0.0, 1000);

        auto* sound = page.findChild<QCheckBox*>("generalSound");
        sound->click();
        QCOMPARE(m_hovers, 1);
        sound->click();
        QCOMPARE(m_hovers, 1);

        page.findChild<QAbstractButton*>("generalTermsLink")->click();
        page.findChild<QAbstractButton*>("generalPrivacyLink")->click();
        QCOMPARE(m_platform->fakeOpener->urls.size(), 2);
        QVERIFY(m_platform->fakeOpener->urls[0].toLocalFile().endsWith("/share/rondix/site/en/terms/index.html"));
        QVERIFY(m_platform->fakeOpener->urls[1].toLocalFile().endsWith("/en/privacy/index.html"));
        QVERIFY(QFileInfo::exists(m_platform->fakeOpener->urls[1].toLocalFile()));

        auto* store = page.findChild<QLabel*>("generalStorePath");
        QVERIFY(store->text().endsWith("/Rondix/"));
    }

    void permissionPartsFollowTheState()
    {
        setGranted(false);
        GeneralSettingsView page(services());
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        QWidget* warning = page.findChild<QWidget*>("generalPermissionWarning");
        auto* privacy = page.findChild<QAbstractButton*>("generalPrivacyGuide");
        QVERIFY(warning->isVisible());
        QVERIFY(privacy->text().startsWith("⚠️"));

        page.findChild<QAbstractButton*>("generalOpenGuide")->click();
        privacy->click();
        QCOMPARE(m_guideRequests, (QList<QWidget*>{page.window(), page.window()}));
        page.findChild<QAbstractButton*>("generalRelaunch")->click();
        QCOMPARE(m_relaunches, 1);

        auto* recheck = page.findChild<QAbstractButton*>("generalRecheck");
        recheck->setFocus();
        m_platform->fakeTrust->trusted = true;
        recheck->click();
        QVERIFY(!warning->isVisible());
        QVERIFY(!privacy->text().startsWith("⚠️"));
        // The keyboard focus did not vanish with the block.
        QVERIFY(QApplication::focusWidget() && page.isAncestorOf(QApplication::focusWidget()));
    }

    void languageRebuildsThePage()
    {
        GeneralSettingsView page(services());
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        auto* picker = page.findChild<QComboBox*>("generalLanguage");
        QCOMPARE(picker->currentText(), "English");
        picker->setFocus();
        // Keyboard: the picker moves to the next entry (日本語 follows 简体中文).
        picker->setCurrentIndex(2);
        Q_EMIT picker->activated(3);
        QCOMPARE(AppSettings::value("app_language").toString(), "ja");
        QTRY_COMPARE(page.findChild<QComboBox*>("generalLanguage")->currentText(), "日本語");
        QTRY_VERIFY(page.findChild<QCheckBox*>("generalSound")->text() != "Play interface sounds");
        QCOMPARE(QApplication::focusWidget(), page.findChild<QComboBox*>("generalLanguage"));
        L10n::shared().setCurrentLanguage("en");
        QTRY_COMPARE(page.findChild<QCheckBox*>("generalSound")->text(), "Play interface sounds");
    }

    void hotkeyRecorderRecordsKeys()
    {
        HotkeyRecorderView view(m_hotkeys);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto* record = view.findChild<QAbstractButton*>("hotkeyReRecord");
        QVERIFY(record->isVisible());
        record->click();
        QVERIFY(view.isRecording() && view.holdsKeyboardGrab());
        QTest::keyClick(&view, Qt::Key_Shift, Qt::ShiftModifier); // a modifier alone: still recording
        QVERIFY(view.isRecording());
        QTest::keyClick(&view, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
        QVERIFY(!view.isRecording() && !view.holdsKeyboardGrab());
        QCOMPARE(m_hotkeys->currentHotkey(), (SavedHotkey{40, 768, "⇧⌘K"}));
        QCOMPARE(view.findChild<QLabel*>("hotkeyCurrent")->text(), "Shift+Super+K");

        // Hiding the recorder ends a recording and lets the keyboard go.
        record->click();
        view.hide();
        QVERIFY(!view.isRecording() && !view.holdsKeyboardGrab());
        view.show();

        view.findChild<QAbstractButton*>("hotkeyClear")->click();
        QVERIFY(!m_hotkeys->currentHotkey());
        QVERIFY(view.findChild<QAbstractButton*>("hotkeyRecord")->isVisible());
        QVERIFY(view.findChild<QLabel*>("hotkeyNotSet")->isVisible());
        m_hotkeys->setCustomHotkey(49, 2048, "⌥Space");
    }

    void mouseRecorderRecordsButtons()
    {
        MouseButtonRecorderView view(m_mouse, m_platform->fakeInput);
        view.show();
        auto* main = view.findChild<QAbstractButton*>("mouseRecord");
        main->click();
        QVERIFY(view.isRecording());
        QVERIFY(m_platform->fakeInput->buttonsSelected());
        QTest::keyClick(main, Qt::Key_Escape);
        QVERIFY(!view.isRecording());

        main->click();
        m_platform->fakeInput->pressButton(2);
        QTRY_VERIFY(!view.isRecording());
        QCOMPARE(m_mouse->targetButtonNumber(), 2);
        QCOMPARE(main->text(), "Middle Button (Button 3)");
        auto* clear = view.findChild<QAbstractButton*>("mouseClear");
        QVERIFY(clear->isVisible());

        // Leaving the page while recording selects nothing more than the trigger does.
        main->click();
        view.hide();
        QVERIFY(!view.isRecording());
        QVERIFY(m_mouse->isMonitoring());
        view.show();
        clear->click();
        QCOMPARE(m_mouse->targetButtonNumber(), -1);
        QVERIFY(!m_platform->fakeInput->buttonsSelected());
        QCOMPARE(main->text(), "Click to Record a Mouse Button");
    }

    // A page taken down in the middle of a recording (a language change
    // rebuilds it) leaves the triggers as they were, listened for again.
    void pageGoesWhileRecording()
    {
        m_mouse->setTargetButtonNumber(4);
        {
            GeneralSettingsView page(services());
            page.show();
            page.findChild<QAbstractButton*>("hotkeyReRecord")->click();
            page.findChild<QAbstractButton*>("mouseRecord")->click();
            QVERIFY(!m_platform->fakeHotkeys->isGrabbed());
            QVERIFY(!m_mouse->isMonitoring());
        }
        QVERIFY(m_platform->fakeHotkeys->isGrabbed());
        QCOMPARE(m_hotkeys->currentHotkey(), SavedHotkey::defaultOptionSpace());
        QVERIFY(m_mouse->isMonitoring());
        QCOMPARE(m_mouse->targetButtonNumber(), 4);
        // Escape no longer goes to a recorder that is gone.
        QWidget other;
        other.show();
        QTest::keyClick(&other, Qt::Key_Escape);
        m_mouse->setTargetButtonNumber(-1);
    }

    void guideFollowsTheStateAndCloses()
    {
        setGranted(false);
        m_platform->fakeTrust->accessOverride = InputAccess{InputAccess::Session::X11, true, false};
        QWidget window;
        window.resize(700, 500);
        window.show();
        PermissionGuideView::presentSheet(&window);
        PermissionGuideView::presentSheet(&window); // raised, not doubled
        QCOMPARE(window.findChildren<QDialog*>().size(), 1);
        auto* dialog = window.findChild<QDialog*>();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        auto* guide = dialog->findChild<PermissionGuideView*>();
        auto* missing = guide->findChild<QLabel*>("permissionMissing");
        QVERIFY(missing->isVisible());
        QVERIFY(missing->text().contains("XInput 2.2") && !missing->text().contains("XTEST"));
        QVERIFY(guide->findChild<QAbstractButton*>("permissionReveal")->isVisible());
        QVERIFY(!guide->findChild<QLabel*>("permissionGrantedBadge")->isVisible());

        guide->findChild<QAbstractButton*>("permissionReveal")->click();
        QCOMPARE(m_platform->fakeOpener->reveals.last(), PermissionGuideRules::desktopEntryPath());
        int relaunched = 0;
        guide->setRelaunch([&] { ++relaunched; });
        guide->findChild<QAbstractButton*>("permissionRelaunch")->click();
        QCOMPARE(relaunched, 1);

        // Granted while the sheet is open: it changes by itself.
        m_platform->fakeTrust->accessOverride.reset();
        setGranted(true);
        QVERIFY(!missing->isVisible());
        QVERIFY(!guide->findChild<QAbstractButton*>("permissionReveal")->isVisible());
        QVERIFY(!guide->findChild<QAbstractButton*>("permissionOpenSettings")->isVisible());
        QVERIFY(guide->findChild<QLabel*>("permissionGrantedBadge")->isVisible());

        QPointer<QDialog> sheet(dialog);
        QTest::keyClick(guide->findChild<QAbstractButton*>("permissionRefresh"), Qt::Key_Return);
        QTRY_VERIFY(!sheet);
        PermissionGuideView::presentSheet(&window);
        sheet = window.findChild<QDialog*>();
        QTest::keyClick(sheet, Qt::Key_Escape);
        QTRY_VERIFY(!sheet);
    }

    // Without a settings window the guide has a window of its own: Return
    // (Done) and Escape close it too.
    void guideWindowClosesByKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("return") << int(Qt::Key_Return);
        QTest::newRow("escape") << int(Qt::Key_Escape);
    }

    void guideWindowClosesByKeyboard()
    {
        QFETCH(int, key);
        PermissionGuideWindow::setContentFactory([](QWidget* window) {
            auto* guide = new PermissionGuideView(window);
            QObject::connect(guide, &PermissionGuideView::dismissRequested, window, &QWidget::close);
            return guide;
        });
        QPointer<PermissionGuideWindow> window(new PermissionGuideWindow);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* refresh = window->findChild<QAbstractButton*>("permissionRefresh");
        QVERIFY(refresh);
        refresh->setFocus();
        QTest::keyClick(refresh, Qt::Key(key));
        QTRY_VERIFY(!window); // closed and gone
        PermissionGuideWindow::setContentFactory({});
    }

    void screenshots()
    {
        if (qEnvironmentVariableIsEmpty("RONDIX_SCREENSHOT_DIR"))
            QSKIP("RONDIX_SCREENSHOT_DIR is not set");
        QApplication::setWindowIcon(QIcon(RONDIX_SOURCE_DIR "/resources/icons/org.rondix.Rondix.svg"));
        AppSettings::setValue("rondix_theme_mode", "system");
        m_mouse->setTargetButtonNumber(3);
        setGranted(false);
        for (const char* variant : {"light", "dark", "ja"}) {
            if (QByteArray(variant) == "ja")
                L10n::shared().setCurrentLanguage("ja");
            QCoreApplication::processEvents();
            QWidget window;
            if (QByteArray(variant) == "dark")
                window.setPalette(darkPalette());
            window.setAutoFillBackground(true);
            auto* layout = new QVBoxLayout(&window);
            layout->setContentsMargins(0, 0, 0, 0);
            auto* page = new GeneralSettingsView(services(), &window);
            layout->addWidget(page);
            window.resize(760, 2200);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QWidget* content = page->findChild<QScrollArea*>()->widget();
            window.resize(760, content->sizeHint().height());
            shoot(&window, QStringLiteral("general-%1.png").arg(QLatin1String(variant)));
        }
        L10n::shared().setCurrentLanguage("en");
        QCoreApplication::processEvents();
        m_platform->fakeTrust->accessOverride = InputAccess{InputAccess::Session::X11, false, true};
        PermissionGuideView guide(m_permission, m_platform->fakeOpener);
        guide.show();
        QVERIFY(QTest::qWaitForWindowExposed(&guide));
        guide.resize(guide.sizeHint());
        shoot(&guide, "permission-guide.png");
        m_platform->fakeTrust->accessOverride.reset();
        setGranted(true);
        shoot(&guide, "permission-guide-granted.png");
        m_mouse->setTargetButtonNumber(-1);
    }
};

QTEST_MAIN(TestGeneralPage)
#include "tst_generalpage.moc"
