// The ring editor and the slot editor as widgets (offscreen): what clicks,
// typing, recorded keys and drops hand to the owner, and that every control
// can be reached by name.
#include "actions/ShortcutsManager.h"
#include "l10n/L10n.h"
#include "model/ModelJson.h"
#include "settings/RingVisualEditorView.h"
#include "settings/SlotDetailEditorView.h"
#include "ShippedStrings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QBoxLayout>
#include <QDir>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Commit
{
    ActionSlot slot;
    int mergeId;
};

RingProfile sampleRing()
{
    RingProfile ring = PresetProfiles::globalDefault();
    for (qint64 i = 0; i < 8; ++i)
        ring.updateSlot(ActionSlot::empty(i));
    ActionSlot copy = ActionSlot::empty(1);
    copy.title = "Copy";
    copy.icon = IconInfo::sfSymbol("doc.on.doc.fill");
    copy.action = ActionType::shortcut("C", 8, {.control = true});
    copy.isEnabled = true;
    ring.updateSlot(copy);
    return ring;
}

} // namespace

class TestEditorViews : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ShortcutsManager* m_scripts = nullptr;

    void activate(QWidget* w)
    {
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

private Q_SLOTS:
    void initTestCase()
    {
        useShippedStrings(m_dir);
        // An empty scripts folder, listed once.
        m_scripts = new ShortcutsManager(m_dir.filePath("scripts"), {}, this);
        QTRY_VERIFY(!m_scripts->isLoading());
    }

    // Typing into a field is one edit: its commits share one merge id, and
    // the next field starts another.
    void typingCommitsPerField()
    {
        QList<Commit> commits;
        SlotDetailEditorView editor(
            ActionSlot::empty(0), [&](const ActionSlot& s, int id) { commits.append({s, id}); }, m_scripts);
        activate(&editor);
        QTest::mouseClick(editor.findChild<QAbstractButton*>("slotTypeButton5"), Qt::LeftButton);
        QCOMPARE(commits.size(), 1);
        QCOMPARE(commits[0].slot.action, ActionType::openURL({}));
        QCOMPARE(commits[0].slot.title, "Open URL");
        QCOMPARE(commits[0].mergeId, 0);

        auto* url = editor.findChild<QLineEdit*>("slotUrlField");
        QVERIFY(url && url->isVisible());
        url->setFocus();
        QTest::keyClicks(url, "example.org/x");
        QCOMPARE(commits.size(), 1 + 13);
        const int urlEdit = commits.last().mergeId;
        QVERIFY(urlEdit != 0);
        for (qsizetype i = 1; i < commits.size(); ++i)
            QCOMPARE(commits[i].mergeId, urlEdit);
        QCOMPARE(commits.last().slot.action, ActionType::openURL("example.org/x"));
        // The switch gave the type's icon; the address commit keeps it.
        QCOMPARE(commits.last().slot.icon, IconInfo::sfSymbol("safari"));

        auto* title = editor.findChild<QLineEdit*>("slotTitleField");
        title->setFocus();
        title->selectAll();
        QTest::keyClicks(title, "Docs");
        QCOMPARE(commits.last().slot.title, "Docs");
        QVERIFY(commits.last().mergeId != urlEdit && commits.last().mergeId != 0);
        // Back in the address field: a new edit, a new step.
        url->setFocus();
        QTest::keyClick(url, Qt::Key_Backspace);
        QVERIFY(commits.last().mergeId != urlEdit);
        QCOMPARE(commits.last().slot.title, "Docs");
        QCOMPARE(editor.findChild<QLabel*>("slotHeaderStatus")->text(), "Current action: Open example.org/");
    }

    void recording_data()
    {
        QTest::addColumn<QList<int>>("keys"); // key, modifiers, key, modifiers ...
        QTest::addColumn<bool>("stored");
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown"); // as the panel shows it

        const QList<int> ctrlTab{int(Qt::Key_Control), int(Qt::ControlModifier), int(Qt::Key_Tab),
                                 int(Qt::ControlModifier)};
        QTest::newRow("control+tab") << ctrlTab << true << ActionType::shortcut("Tab", 48, {.control = true})
                                     << "⌃Tab" << "Ctrl+Tab";
        QTest::newRow("escape cancels") << QList<int>{int(Qt::Key_Escape), 0} << false << ActionType::none() << ""
                                        << "";
        QTest::newRow("shift+escape records Esc")
            << QList<int>{int(Qt::Key_Shift), int(Qt::ShiftModifier), int(Qt::Key_Escape), int(Qt::ShiftModifier)}
            << true << ActionType::shortcut("Esc", 53, {.shift = true}) << "⇧Esc" << "Shift+Esc";
        // The window's own shortcuts (undo) do not get the key while recording.
        QTest::newRow("control+z") << QList<int>{int(Qt::Key_Z), int(Qt::ControlModifier)} << true
                                   << ActionType::shortcut("Z", 6, {.control = true}) << "⌃Z" << "Ctrl+Z";
        QTest::newRow("alt+F4") << QList<int>{int(Qt::Key_F4), int(Qt::AltModifier)} << true
                                << ActionType::shortcut("F4", 118, {.option = true}) << "⌥F4" << "Alt+F4";
    }

    void recording()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, stored);
        QFETCH(ActionType, action);
        QFETCH(QString, title);
        QFETCH(QString, shown);

        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        QList<Commit> commits;
        // A shortcut slot without key or title: the panel offers to record.
        ActionSlot start = ActionSlot::empty(2);
        start.action = ActionType::shortcut({}, 0, {});
        auto* editor = new SlotDetailEditorView(
            start, [&](const ActionSlot& s, int id) { commits.append({s, id}); }, m_scripts);
        layout->addWidget(editor);
        bool undone = false;
        auto* undo = new QAction(&window);
        undo->setShortcut(QKeySequence::Undo);
        window.addAction(undo);
        connect(undo, &QAction::triggered, this, [&] { undone = true; });
        activate(&window);

        auto* record = editor->findChild<QAbstractButton*>("slotRecordButton");
        QVERIFY(record->isVisible());
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(editor->isRecordingShortcut());
        QCOMPARE(QWidget::keyboardGrabber(), editor);
        QVERIFY(editor->findChild<QWidget*>("slotRecordPrompt")->isVisible());

        for (qsizetype i = 0; i + 1 < keys.size(); i += 2) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : editor;
            QTest::keyClick(target, Qt::Key(keys[i]), Qt::KeyboardModifiers::fromInt(keys[i + 1]));
        }
        QVERIFY(!editor->isRecordingShortcut());
        QCOMPARE(QWidget::keyboardGrabber(), nullptr);
        QVERIFY(!undone);
        QCOMPARE(commits.size(), stored ? 1 : 0);
        if (stored) {
            QCOMPARE(commits[0].slot.action, action);
            QCOMPARE(commits[0].slot.title, title);
            QCOMPARE(commits[0].slot.icon, IconInfo::sfSymbol("keyboard"));
            QVERIFY(commits[0].slot.isEnabled);
            QVERIFY(editor->findChild<QWidget*>("slotShortcutShown")->isVisible());
            QCOMPARE(editor->findChild<QLabel*>("slotShortcutShown")->text(), shown);
        } else {
            QVERIFY(record->isVisible());
        }
    }

    // A recording editor that goes away gives the keyboard back.
    void editorGoingAwayReleasesTheKeyboard()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* editor = new SlotDetailEditorView(ActionSlot::empty(2), {}, m_scripts);
        layout->addWidget(editor);
        activate(&window);
        editor->startRecordingShortcut();
        QCOMPARE(QWidget::keyboardGrabber(), editor);
        editor->hide();
        QCOMPARE(QWidget::keyboardGrabber(), nullptr);
        QVERIFY(!editor->isRecordingShortcut());
        editor->show();
        editor->startRecordingShortcut();
        delete editor;
        QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    }

    // Undo or a drop on the ring changes the slot from outside: the panels follow.
    void outsideChangeShowsInThePanels()
    {
        int commits = 0;
        SlotDetailEditorView editor(ActionSlot::empty(4), [&](const ActionSlot&, int) { ++commits; }, m_scripts);
        activate(&editor);
        ActionSlot path = editor.slot();
        path.title = "Music";
        path.action = ActionType::openPath("~/Music");
        path.isEnabled = true;
        editor.setSlot(path);
        QCOMPARE(commits, 0);
        QCOMPARE(editor.findChild<QLineEdit*>("slotPathField")->text(), "~/Music");
        QCOMPARE(editor.findChild<QLineEdit*>("slotTitleField")->text(), "Music");
        QVERIFY(editor.findChild<QWidget*>("slotPanelOpenPath")->isVisible());
        QVERIFY(editor.findChild<QAbstractButton*>("slotTypeButton4")->isChecked());
    }

    void pickersStoreWhatWasChosen()
    {
        QList<Commit> commits;
        SlotDetailEditorView editor(
            ActionSlot::empty(4), [&](const ActionSlot& s, int id) { commits.append({s, id}); }, m_scripts);
        QString startedIn;
        editor.setFolderPicker([&](QWidget*, const QString& start) -> QString {
            startedIn = start;
            return QDir::homePath() + "/Projects/";
        });
        editor.setApplicationPicker([](QWidget*, const QString&) { return QString(); });
        activate(&editor);
        QTest::mouseClick(editor.findChild<QAbstractButton*>("slotTypeButton4"), Qt::LeftButton);
        QTest::mouseClick(editor.findChild<QAbstractButton*>("slotChooseFolder"), Qt::LeftButton);
        QCOMPARE(startedIn, QDir::homePath());
        QCOMPARE(commits.last().slot.action, ActionType::openPath("~/Projects"));
        QCOMPARE(commits.last().slot.title, "Projects");
        QCOMPARE(editor.findChild<QLineEdit*>("slotPathField")->text(), "~/Projects");
        // A cancelled dialog changes nothing.
        const int before = commits.size();
        QTest::mouseClick(editor.findChild<QAbstractButton*>("slotTypeButton3"), Qt::LeftButton);
        QTest::mouseClick(editor.findChild<QAbstractButton*>("slotChooseApp"), Qt::LeftButton);
        QCOMPARE(commits.size(), before + 1); // only the switch to the launch type
    }

    // With no scripts the panel offers to type a name and to create the folder.
    void scriptPanelWithoutScripts()
    {
        QList<Commit> commits;
        SlotDetailEditorView editor(
            ActionSlot::empty(4), [&](const ActionSlot& s, int id) { commits.append({s, id}); }, m_scripts);
        activate(&editor);
        QTest::mouseClick(editor.findChild<QAbstractButton*>("slotTypeButton1"), Qt::LeftButton);
        QCOMPARE(commits.last().slot.action, ActionType::runShortcut({}));
        QVERIFY(commits.last().slot.isEnabled);
        auto* name = editor.findChild<QLineEdit*>("slotScriptNameField");
        QVERIFY(name->isVisible());
        QVERIFY(editor.findChild<QWidget*>("slotScriptsOpenFolder")->isVisible());
        name->setFocus();
        QTest::keyClicks(name, " tidy ");
        QCOMPARE(commits.last().slot.action, ActionType::runShortcut({})); // not before submitting
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(commits.last().slot.action, ActionType::runShortcut("tidy"));
        QCOMPARE(commits.last().slot.title, "tidy");
    }

    void everyControlHasANameAndAnAccessibleName()
    {
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(new RingVisualEditorView(sampleRing(), 1, {}));
        layout->addWidget(new SlotDetailEditorView(ActionSlot::empty(1), {}, m_scripts));
        activate(&window);
        int checked = 0;
        for (QWidget* w : window.findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QComboBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                                 w->objectName() == "ringEditorArea";
            if (!control || qobject_cast<QLineEdit*>(w->parentWidget()) || qobject_cast<QComboBox*>(w->parentWidget()))
                continue; // parts of a line edit or combo box
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            ++checked;
        }
        QVERIFY(checked > 40);
    }

    void ringClicks_data()
    {
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<int>("selected");
        // (Real clicks on sectors are the desktop test's.)
        QTest::newRow("lower left") << QPoint(-80, 80) << 5;
        QTest::newRow("hub does nothing") << QPoint(0, -20) << 3;
        QTest::newRow("frame corner does nothing") << QPoint(145, 145) << 3;
    }

    void ringClicks()
    {
        QFETCH(QPoint, offset);
        QFETCH(int, selected);
        RingVisualEditorView ring(sampleRing(), 3, {});
        QSignalSpy changed(&ring, &RingVisualEditorView::selectedSlotIndexChanged);
        activate(&ring);
        QTest::mouseClick(ring.ringArea(), Qt::LeftButton, {}, QPoint(150, 150) + offset);
        QCOMPARE(ring.selectedSlotIndex(), selected);
        QCOMPARE(changed.size(), selected == 3 ? 0 : 1);
    }

    void ringKeysAndChips()
    {
        RingVisualEditorView ring(sampleRing(), 0, {});
        activate(&ring);
        ring.ringArea()->setFocus();
        QTest::keyClick(ring.ringArea(), Qt::Key_Left);
        QCOMPARE(ring.selectedSlotIndex(), 7);
        QTest::keyClick(ring.ringArea(), Qt::Key_Right);
        QTest::keyClick(ring.ringArea(), Qt::Key_Right);
        QCOMPARE(ring.selectedSlotIndex(), 1);
        auto* chip = ring.findChild<QAbstractButton*>("ringChip5");
        QCOMPARE(chip->accessibleName(), "#6 Empty");
        QCOMPARE(ring.findChild<QAbstractButton*>("ringChip1")->accessibleName(), "#2 Copy");
        chip->setFocus();
        QTest::keyClick(chip, Qt::Key_Space);
        QCOMPARE(ring.selectedSlotIndex(), 5);
        QVERIFY(chip->isChecked());
        QVERIFY(ring.ringArea()->accessibleDescription().startsWith("Sector 6"));
    }

    void ringDrop_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("sector");
        const IconInfo app = IconInfo::app("org.gnome.Calculator", "Calculator", "/usr/share/a/c.desktop");
        QTest::newRow("app on an empty sector") << encodeIconInfo(app) << QPoint(0, 100) << true << 4;
        QTest::newRow("app dropped on the hub, towards the left") << encodeIconInfo(app) << QPoint(-10, 0) << true
                                                                   << 6;
        QTest::newRow("broken payload") << QByteArray("{\"app\":{}}") << QPoint(0, 100) << false << 0;
        QTest::newRow("no payload") << QByteArray() << QPoint(0, 100) << false << 0;
    }

    void ringDrop()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QPoint, offset);
        QFETCH(bool, accepted);
        QFETCH(int, sector);
        QList<ActionSlot> updates;
        const RingProfile profile = sampleRing();
        RingVisualEditorView ring(profile, 0, [&](const ActionSlot& s) { updates.append(s); });
        activate(&ring);
        QMimeData data;
        data.setData(IconInfo::dragMimeType(), payload);
        const QPointF at = QPointF(150, 150) + offset;
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(ring.ringArea(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(ring.ringArea(), &drop);
        QCOMPARE(drop.isAccepted(), accepted);
        QCOMPARE(updates.size(), accepted ? 1 : 0);
        QCOMPARE(ring.selectedSlotIndex(), sector);
        QVERIFY(!ring.targetedDropIndex());
        if (accepted) {
            QCOMPARE(updates[0].id, profile.slotAt(sector)->id);
            QCOMPARE(updates[0].action,
                     ActionType::launchApp("org.gnome.Calculator", "Calculator", "/usr/share/a/c.desktop"));
            QVERIFY(updates[0].isEnabled);
            QCOMPARE(ring.findChild<QAbstractButton*>(QString("ringChip%1").arg(sector))->accessibleName(),
                     QString("#%1 Calculator").arg(sector + 1));
        }
    }

    // Pictures of both editors for the README: light, dark and Japanese.
    // Written only when RONDIX_SCREENSHOT_DIR names a folder.
    void screenshots_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("tab");
        QTest::newRow("editors-light") << "en" << false << 0;
        QTest::newRow("editors-dark") << "en" << true << 4;
        QTest::newRow("editors-ja") << "ja" << false << 2;
    }

    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RONDIX_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set RONDIX_SCREENSHOT_DIR to write the pictures");
        QFETCH(QString, language);
        QFETCH(bool, dark);
        QFETCH(int, tab);
        L10n::shared().setCurrentLanguage(language);
        const QPalette light = QApplication::palette();
        if (dark) {
            QPalette p;
            p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
            p.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xea));
            p.setColor(QPalette::Base, QColor(0x3a, 0x3a, 0x3e));
            p.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x36));
            p.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xea));
            p.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x40));
            p.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xea));
            p.setColor(QPalette::Mid, QColor(0x55, 0x55, 0x5a));
            p.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
            p.setColor(QPalette::HighlightedText, Qt::white);
            p.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0xa0));
            QApplication::setPalette(p);
        }
        RingProfile ring = sampleRing();
        const QList<std::pair<qint64, ActionType>> actions{
            {0, ActionType::openURL("https://example.org")},
            {2, ActionType::pasteText("Best regards,")},
            {3, ActionType::systemControl(SystemControlAction::volumeUp)},
            {4, ActionType::openPath("~/Downloads")},
            {6, ActionType::launchApp("org.gnome.Calculator", "Calculator", "/nonexistent.desktop")}};
        const QStringList titles{"Docs", "", "Sign-off", "", "Downloads", "", "Calculator"};
        const QStringList icons{"globe", "", "text.bubble", "speaker.wave.3.fill", "folder", "", "app.dashed"};
        for (const auto& [i, action] : actions) {
            ActionSlot slot = *ring.slotAt(i);
            slot.action = action;
            slot.title = titles.value(int(i));
            slot.icon = IconInfo::sfSymbol(icons.value(int(i)));
            slot.isEnabled = true;
            ring.updateSlot(slot);
        }
        const int selected = tab == 0 ? 1 : tab == 4 ? 4 : 2;
        QWidget window;
        window.setWindowTitle("Rondix");
        auto* layout = new QHBoxLayout(&window);
        layout->setContentsMargins(16, 16, 16, 16);
        layout->setSpacing(16);
        layout->addWidget(new RingVisualEditorView(ring, selected, {}), 0, Qt::AlignTop);
        auto* editor = new SlotDetailEditorView(*ring.slotAt(selected), {}, m_scripts);
        layout->addWidget(editor, 1);
        window.resize(780, 520);
        activate(&window);
        QTest::qWait(50);
        const QString file = QDir(dir).filePath(QString::fromLatin1(QTest::currentDataTag()) + ".png");
        QVERIFY(window.grab().save(file));
        QApplication::setPalette(light);
        L10n::shared().setCurrentLanguage("en");
    }
};

QTEST_MAIN(TestEditorViews)
#include "tst_editorviews.moc"
