// The slot editor on a real X server with openbox (tests/session/run-session):
// real key presses through XTest while a shortcut is recorded, including the
// chords openbox binds for itself (Alt+Tab, Alt+F4, Super+D), and what the
// editors store driving the real ring. (A real drag onto the ring editor is in
// the icon library's desktop test.)
#include "actions/ShortcutsManager.h"
#include "DesktopWidgets.h"
#include "l10n/L10n.h"
#include "RondixHome.h"
#include "model/AppProfileManager.h"
#include "settings/RingVisualEditorView.h"
#include "settings/SlotDetailEditorView.h"
#include "ShippedStrings.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QtDBus>
#include <QtTest>

namespace {

// Counts the key presses of one key that reach the application.
class KeyCounter : public QObject
{
public:
    explicit KeyCounter(int key)
        : m_key(key)
    {
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == m_key &&
            !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            ++count;
        return false;
    }

private:
    int m_key;
};

} // namespace

class TestEditorsX11 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ShortcutsManager* m_scripts = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString missing = desktopMissing(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY2(commandOutput("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"),
                 "a window manager must run");
        useShippedStrings(m_dir);
        m_scripts = new ShortcutsManager(m_dir.filePath("scripts"), {}, this);
    }

    void recordRealKeys_data()
    {
        QTest::addColumn<QString>("keys"); // xdotool key names
        QTest::addColumn<bool>("stored");
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<QString>("title");

        QTest::newRow("control+tab") << "ctrl+Tab" << true << ActionType::shortcut("Tab", 48, {.control = true})
                                     << "⌃Tab";
        // Openbox binds these three for itself; the recording's grab must win.
        QTest::newRow("alt+tab") << "alt+Tab" << true << ActionType::shortcut("Tab", 48, {.option = true})
                                 << "⌥Tab";
        QTest::newRow("alt+F4 does not close the window")
            << "alt+F4" << true << ActionType::shortcut("F4", 118, {.option = true}) << "⌥F4";
        QTest::newRow("super+d") << "super+d" << true << ActionType::shortcut("D", 2, {.command = true}) << "⌘D";
        QTest::newRow("shift+1 is the 1 key with shift")
            << "shift+1" << true << ActionType::shortcut("1", 18, {.shift = true}) << "⇧1";
        QTest::newRow("shift+escape records") << "shift+Escape" << true
                                              << ActionType::shortcut("Esc", 53, {.shift = true}) << "⇧Esc";
        QTest::newRow("escape alone cancels") << "Escape" << false << ActionType::none() << "";
    }

    void recordRealKeys()
    {
        QFETCH(QString, keys);
        QFETCH(bool, stored);
        QFETCH(ActionType, action);
        QFETCH(QString, title);

        QList<ActionSlot> commits;
        QWidget window;
        window.setWindowTitle("Rondix editor test");
        auto* layout = new QVBoxLayout(&window);
        auto* editor = new SlotDetailEditorView(
            ActionSlot::empty(0), [&](const ActionSlot& s, int) { commits.append(s); }, m_scripts);
        layout->addWidget(editor);
        window.resize(520, 560);
        QVERIFY(activateOnDesktop(&window));
        clickWidget(editor->findChild<QAbstractButton*>("slotTypeButton0"));
        QTRY_COMPARE(commits.size(), 1);
        commits.clear();

        clickWidget(editor->findChild<QAbstractButton*>("slotRecordButton"));
        QTRY_VERIFY(editor->isRecordingShortcut());
        QTest::qWait(100); // the grab is in place once the server has answered it
        xdotool({"key", "--clearmodifiers", keys});
        QTRY_VERIFY(!editor->isRecordingShortcut());
        QCOMPARE(commits.size(), stored ? 1 : 0);
        if (stored) {
            QCOMPARE(commits[0].action, action);
            QCOMPARE(commits[0].title, title);
            QVERIFY(commits[0].isEnabled);
        }
        // The window manager saw nothing: the window is still there and in front.
        QTest::qWait(200);
        QVERIFY(window.isVisible());
        QCOMPARE(xdotool(QStringList{"getactivewindow"}), QString::number(window.winId()));

        // The keyboard is free again: typing reaches a field.
        auto* title2 = editor->findChild<QLineEdit*>("slotTitleField");
        clickWidget(title2);
        QTRY_VERIFY(title2->hasFocus());
        title2->selectAll();
        xdotool({"type", "ok"});
        QTRY_COMPARE(title2->text(), "ok");
    }

    // Without the recording's grab openbox takes Alt+Tab: the check above is
    // only worth something while this holds.
    void openboxTakesAltTabOtherwise()
    {
        QWidget window;
        auto* field = new QLineEdit(&window);
        window.resize(300, 80);
        QVERIFY(activateOnDesktop(&window));
        field->setFocus();
        KeyCounter tabs(Qt::Key_Tab);
        field->installEventFilter(&tabs);
        xdotool({"key", "--clearmodifiers", "alt+Tab"});
        QTest::qWait(300);
        xdotool({"key", "Tab"});
        QTRY_COMPARE(tabs.count, 1); // the plain Tab arrived, the Alt+Tab did not
    }

    // What the editors store is what the real ring does: a recorded
    // Control+Tab reaches a window as Control+Tab, and a typed address reaches
    // xdg-open exactly as typed.
    void editedRingDrivesTheRealRing()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the session bus of the test session");
        QVERIFY(!RondixHome::onBus());

        // A private home for the store, the settings and a recording xdg-open.
        RondixHome home;
        QVERIFY(home.recordOpens());
        QVERIFY(home.writeSettings("launchAtLogin=false\nuser_explicitly_cleared_hotkey=true\n"));

        // The editors, owned as the settings window owns them: every commit into the store.
        AppProfileManager store(home.path("data"));
        const QUuid ringId = store.universalProfile().id;
        store.clearAllSlots(ringId); // every sector empty, as a new ring starts
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        QPointer<SlotDetailEditorView> slotEditor;
        auto* ringEditor = new RingVisualEditorView(store.universalProfile(), 0, [&](const ActionSlot& s) {
            store.updateSlot(ringId, s);
        });
        layout->addWidget(ringEditor, 0, Qt::AlignTop);
        const auto showSlot = [&](int index) {
            delete slotEditor;
            slotEditor = new SlotDetailEditorView(
                *store.universalProfile().slotAt(index),
                [&](const ActionSlot& s, int) {
                    store.updateSlot(ringId, s);
                    ringEditor->setProfile(store.universalProfile());
                },
                m_scripts);
            layout->addWidget(slotEditor, 1);
        };
        showSlot(0);
        connect(ringEditor, &RingVisualEditorView::selectedSlotIndexChanged, this, showSlot);
        window.resize(800, 560);
        QVERIFY(activateOnDesktop(&window));

        // East: record Control+Tab.
        clickAt(ringEditor->ringArea()->mapToGlobal(QPoint(150 + 100, 150)));
        QTRY_COMPARE(ringEditor->selectedSlotIndex(), 2);
        QTRY_VERIFY(slotEditor && slotEditor->isVisible());
        clickWidget(slotEditor->findChild<QAbstractButton*>("slotTypeButton0"));
        auto* record = slotEditor->findChild<QAbstractButton*>("slotRecordButton");
        QTRY_VERIFY(record->isVisible());
        clickWidget(record);
        QTRY_VERIFY(slotEditor->isRecordingShortcut());
        QTest::qWait(100);
        xdotool({"key", "--clearmodifiers", "ctrl+Tab"});
        QTRY_VERIFY(!slotEditor->isRecordingShortcut());
        const ActionSlot east = *store.universalProfile().slotAt(2);
        QCOMPARE(east.action, ActionType::shortcut("Tab", 48, {.control = true}));
        QCOMPARE(east.title, "⌃Tab");
        QVERIFY(east.isEnabled);

        // North: open an address typed into the field.
        const QString url = QStringLiteral("https://example.org/typed/path?q=1");
        clickAt(ringEditor->ringArea()->mapToGlobal(QPoint(150, 150 - 100)));
        QTRY_COMPARE(ringEditor->selectedSlotIndex(), 0);
        QTRY_VERIFY(slotEditor && slotEditor->isVisible() && slotEditor->slot().index == 0);
        clickWidget(slotEditor->findChild<QAbstractButton*>("slotTypeButton5"));
        auto* field = slotEditor->findChild<QLineEdit*>("slotUrlField");
        QTRY_VERIFY(field->isVisible());
        clickWidget(field);
        QTRY_VERIFY(field->hasFocus());
        xdotool({"type", "--delay", "20", url});
        QTRY_COMPARE(store.universalProfile().slotAt(0)->action, ActionType::openURL(url));
        window.hide();

        // The real Rondix on that store, and a window to receive the keys.
        QProcess probe;
        probe.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/actions_keyprobe"), {});
        QByteArray probeOut;
        QVERIFY(QTest::qWaitFor([&] { return (probeOut += probe.readAllStandardOutput()).contains("ready"); },
                                10000));
        QProcess rondix;
        QVERIFY(!home.launch(rondix).isEmpty());
        const auto chooseSector = [&](int index) {
            xdotool({"mousemove", "--sync", "700", "450"});
            QCOMPARE(RondixHome::call("Summon", {}).type(), QDBusMessage::ReplyMessage);
            QPoint centre;
            QTRY_VERIFY((centre = RondixHome::ringCentre()) != QPoint());
            QTest::qWait(200);
            RondixHome::clickSector(centre, index);
        };

        chooseSector(2);
        // Qt::Key_Tab with Qt::ControlModifier, as the window received them.
        QTRY_VERIFY_WITH_TIMEOUT((probeOut += probe.readAllStandardOutput()).contains("press 16777217 67108864"),
                                 5000);
        QTest::qWait(300);
        chooseSector(0);
        QTRY_COMPARE_WITH_TIMEOUT(home.opened(), url + "\n", 5000);

        QVERIFY(RondixHome::stop(rondix));
        probe.kill();
        probe.waitForFinished(3000);
    }
};

QTEST_MAIN(TestEditorsX11)
#include "tst_editors_x11.moc"
