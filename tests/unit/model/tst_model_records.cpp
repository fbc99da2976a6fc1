#include "model/ActionModel.h"
#include "model/RingProfile.h"
#include "ModelTestSupport.h"

#include <QSet>
#include <QTest>

using namespace ModelTestSupport;

Q_DECLARE_METATYPE(std::optional<RadialSectorPosition>)

namespace {

const QStringList kSystemRaw{
    QStringLiteral("mission_control"),
    QStringLiteral("show_desktop"),
    QStringLiteral("volume_up"),
    QStringLiteral("volume_down"),
    QStringLiteral("mute"),
    QStringLiteral("brightness_up"),
    QStringLiteral("brightness_down"),
    QStringLiteral("lock_screen"),
    QStringLiteral("screenshot_area"),
    QStringLiteral("screenshot_screen"),
    QStringLiteral("media_play_pause"),
    QStringLiteral("spotlight"),
    QStringLiteral("open_finder"),
};

QStringList allKeys()
{
    QStringList keys;
    for (const QString& raw : kSystemRaw)
        keys << QStringLiteral("action.sys.") + raw;
    for (const char* d :
         {"north", "northEast", "east", "southEast", "south", "southWest", "west", "northWest"}) {
        keys << QStringLiteral("slot.direction.") + QString::fromLatin1(d);
        keys << QStringLiteral("slot.direction.") + QString::fromLatin1(d) + QStringLiteral(".short");
    }
    for (const char* k : {"slot.preset.copy_short",
                          "slot.preset.paste_short",
                          "slot.preset.cut_short",
                          "slot.preset.undo_short",
                          "slot.preset.redo_short",
                          "slot.preset.save_short",
                          "slot.preset.select_all_short",
                          "slot.preset.find_short",
                          "slot.preset.new_short",
                          "slot.preset.next_tab_short",
                          "slot.preset.prev_tab_short",
                          "slot.preset.new_tab_short",
                          "slot.preset.close_tab_short",
                          "slot.preset.refresh_short",
                          "slot.preset.export_pdf_short",
                          "slot.paste_text.preset_summary_title",
                          "slot.paste_text.preset_polish_title",
                          "slot.paste_text.preset_translate_title",
                          "slot.paste_text.preset_code_title",
                          "slot.type.paste_text",
                          "slot.type.shortcut",
                          "slot.type.launch_app",
                          "slot.type.open_url",
                          "slot.type.system_control",
                          "slot.type.system_ctrl",
                          "slot.type.run_shortcut",
                          "slot.type.open_path",
                          "slot.type.none",
                          "app.notes",
                          "app.system_settings",
                          "app.calculator",
                          "app.music",
                          "app.textedit",
                          "app.screenshot",
                          "hud.unassigned",
                          "slot.unassigned",
                          "action.run_shortcut_empty",
                          "action.paste_text_empty",
                          "action.open_path_empty",
                          "action.launch_app",
                          "action.open_url",
                          "profile.global_default"})
        keys << QString::fromLatin1(k);
    return keys;
}

const QList<Lookup> kModes{Lookup::Fallback, Lookup::Keyed};

ActionSlot slotWith(const QString& title, const ActionType& action, bool enabled = true, qint64 index = 0)
{
    return ActionSlot{
        QUuid::createUuid(), index, title, IconInfo::sfSymbol(QStringLiteral("star")), action, enabled};
}

ActionType launch(const QString& bundleId)
{
    return ActionType::launchApp(bundleId, QStringLiteral("Some App"),
                                 QStringLiteral("/usr/share/applications/x.desktop"));
}

QString repeated(const QString& unit, int count)
{
    QString s;
    for (int i = 0; i < count; ++i)
        s += unit;
    return s;
}

} // namespace

class TestModelRecords : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        installMarkerTables(m_dir, allKeys());
    }

    void displayTitle_data()
    {
        QTest::addColumn<ActionSlot>("slot");
        QTest::addColumn<QString>("key"); // empty: the expected text is taken literally
        QTest::addColumn<QString>("text");

        const auto sys = [](SystemControlAction a) { return ActionType::systemControl(a); };
        const auto sc = ActionType::shortcut(QStringLiteral("C"), 8, KeyModifiers{false, false, true, false});

        QTest::newRow("system, empty title") << slotWith({}, sys(SystemControlAction::mute))
                                             << "action.sys.mute" << QStringLiteral("静音 / 取消静音");
        QTest::newRow("system, other control's automatic title")
            << slotWith(QStringLiteral("Lock Screen"), sys(SystemControlAction::mute)) << "action.sys.mute"
            << QStringLiteral("静音 / 取消静音");
        QTest::newRow("system, Japanese automatic title")
            << slotWith(QStringLiteral("画面をロック"), sys(SystemControlAction::volumeDown))
            << "action.sys.volume_down" << QStringLiteral("减小音量");
        QTest::newRow("system, Finder title follows the control, not the preset table")
            << slotWith(QStringLiteral("Finder"), sys(SystemControlAction::openFinder))
            << "action.sys.open_finder" << QStringLiteral("访达");
        QTest::newRow("system, typed title stays")
            << slotWith(QStringLiteral("Quiet please"), sys(SystemControlAction::mute)) << ""
            << QStringLiteral("Quiet please");
        QTest::newRow("system, automatic list is case-sensitive")
            << slotWith(QStringLiteral("lock screen"), sys(SystemControlAction::lockScreen)) << ""
            << QStringLiteral("lock screen");
        QTest::newRow("system, preset title wins over typed")
            << slotWith(QStringLiteral("Copy"), sys(SystemControlAction::spotlight))
            << "slot.preset.copy_short" << QStringLiteral("复制");
        QTest::newRow("launch Finder, any title")
            << slotWith(QStringLiteral("My files"), launch(QStringLiteral("com.apple.finder")))
            << "action.sys.open_finder" << QStringLiteral("Finder");
        QTest::newRow("launch Notes, empty title") << slotWith({}, launch(QStringLiteral("com.apple.Notes")))
                                                   << "app.notes" << QStringLiteral("Notes");
        QTest::newRow("launch screenshot tool")
            << slotWith(QStringLiteral("x"), launch(QStringLiteral("com.apple.screenshot.launcher")))
            << "app.screenshot" << QStringLiteral("Screenshot");
        QTest::newRow("launch, bundle match is case-sensitive, title Copy")
            << slotWith(QStringLiteral("Copy"), launch(QStringLiteral("com.apple.Finder")))
            << "slot.preset.copy_short" << QStringLiteral("复制");
        QTest::newRow("launch other app titled Copy")
            << slotWith(QStringLiteral("Copy"), launch(QStringLiteral("org.gnome.gedit")))
            << "slot.preset.copy_short" << QStringLiteral("复制");
        QTest::newRow("launch other app, own title")
            << slotWith(QStringLiteral("Gedit"), launch(QStringLiteral("org.gnome.gedit"))) << ""
            << QStringLiteral("Gedit");
        QTest::newRow("Japanese copy")
            << slotWith(QStringLiteral("コピー"), sc) << "slot.preset.copy_short" << QStringLiteral("复制");
        QTest::newRow("Finder title on a shortcut") << slotWith(QStringLiteral("フォルダを開く"), sc)
                                                    << "action.sys.open_finder" << QStringLiteral("Finder");
        QTest::newRow("next tab variant") << slotWith(QStringLiteral("次のタブ"), sc)
                                          << "slot.preset.next_tab_short" << QStringLiteral("下一个标签");
        QTest::newRow("emoji summary title")
            << slotWith(QStringLiteral("📝 Summarize"), ActionType::pasteText(QStringLiteral("x")))
            << "slot.paste_text.preset_summary_title" << QStringLiteral("总结要点");
        QTest::newRow("code title") << slotWith(QStringLiteral("💻 代码解释"),
                                                ActionType::pasteText(QStringLiteral("x")))
                                    << "slot.paste_text.preset_code_title" << QStringLiteral("代码解释");
        QTest::newRow("quick text") << slotWith(QStringLiteral("Quick Text"),
                                                ActionType::pasteText(QStringLiteral("x")))
                                    << "slot.type.paste_text" << QStringLiteral("常用文本");
        QTest::newRow("system control category title on a shortcut")
            << slotWith(QStringLiteral("System Control"), sc) << "slot.type.system_control"
            << QStringLiteral("系统功能");
        QTest::newRow("calculator") << slotWith(QStringLiteral("計算機"), sc) << "app.calculator"
                                    << QStringLiteral("Calculator");
        QTest::newRow("music") << slotWith(QStringLiteral("音乐"), sc) << "app.music"
                               << QStringLiteral("Music");
        QTest::newRow("text edit") << slotWith(QStringLiteral("テキストエディット"), sc) << "app.textedit"
                                   << QStringLiteral("TextEdit");
        QTest::newRow("system settings") << slotWith(QStringLiteral("システム設定"), sc)
                                         << "app.system_settings" << QStringLiteral("System Settings");
        QTest::newRow("export pdf") << slotWith(QStringLiteral("PDFとして書き出し"), sc)
                                    << "slot.preset.export_pdf_short" << QStringLiteral("导出PDF");
        QTest::newRow("run shortcut title not a preset")
            << slotWith(QStringLiteral("快捷指令"), ActionType::runShortcut(QStringLiteral("x"))) << ""
            << QStringLiteral("快捷指令");
        QTest::newRow("padded preset title is not a preset")
            << slotWith(QStringLiteral(" Copy"), sc) << "" << QStringLiteral(" Copy");
        QTest::newRow("unassigned title")
            << slotWith(QStringLiteral("未分配"), sc) << "hud.unassigned" << QStringLiteral("未分配");
        QTest::newRow("empty title, no action")
            << slotWith({}, ActionType::none()) << "hud.unassigned" << QStringLiteral("未分配");
        QTest::newRow("disabled slot keeps its title")
            << slotWith(QStringLiteral("Hello"), sc, false) << "" << QStringLiteral("Hello");
        QTest::newRow("unicode title")
            << slotWith(QStringLiteral("🚀 Déploiement"), sc) << "" << QStringLiteral("🚀 Déploiement");
    }

    void displayTitle()
    {
        QFETCH(ActionSlot, slot);
        QFETCH(QString, key);
        QFETCH(QString, text);
        for (Lookup mode : kModes) {
            useLookup(mode);
            QCOMPARE(slot.displayTitle(), expected(mode, key, text));
        }
    }

    void automaticSystemTitles_data()
    {
        QTest::addColumn<QString>("title");
        const QStringList titles{"区域截图",
                                 "Capture Selected Area",
                                 "選択範囲をスクリーンショット",
                                 "全屏截图",
                                 "Capture Full Screen",
                                 "画面全体をスクリーンショット",
                                 "调度中心",
                                 "Mission Control",
                                 "显示桌面",
                                 "Show Desktop",
                                 "デスクトップを表示",
                                 "锁定屏幕",
                                 "Lock Screen",
                                 "画面をロック",
                                 "聚焦搜索",
                                 "Spotlight Search",
                                 "Spotlight 検索",
                                 "增加音量",
                                 "Volume Up",
                                 "音量を上げる",
                                 "减小音量",
                                 "Volume Down",
                                 "音量を下げる",
                                 "静音 / 取消静音",
                                 "Mute / Unmute",
                                 "消音 / 消音解除",
                                 "提高亮度",
                                 "Brightness Up",
                                 "画面を明るく",
                                 "降低亮度",
                                 "Brightness Down",
                                 "画面を暗く",
                                 "播放 / 暂停",
                                 "Play / Pause",
                                 "再生 / 一時停止",
                                 "访达",
                                 "Finder",
                                 "打开文件夹",
                                 "フォルダを開く",
                                 "访达 (打开文件夹)",
                                 "窗口概览",
                                 "Overview",
                                 "アクティビティ概要",
                                 "启动器搜索",
                                 "Launcher Search",
                                 "ランチャー検索",
                                 "File Manager"};
        QCOMPARE(titles.size(), 47);
        for (const QString& t : titles)
            QTest::newRow(t.toUtf8().constData()) << t;
    }

    // Every automatic title, on any control, shows that control's own name.
    void automaticSystemTitles()
    {
        QFETCH(QString, title);
        QVERIFY(ActionSlot::isAutomaticSystemTitle(title));
        useLookup(Lookup::Keyed);
        const auto slot = slotWith(title, ActionType::systemControl(SystemControlAction::brightnessDown));
        QCOMPARE(slot.displayTitle(), marker(QStringLiteral("action.sys.brightness_down")));
    }

    void summary_data()
    {
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<QString>("fallbackText");
        QTest::addColumn<QString>("keyedText");

        const QString fifteen = QStringLiteral("abcdefghijklmno");
        const QString family = QStringLiteral("👨‍👩‍👧");
        const QString accented = QStringLiteral("e\u0301");

        QTest::newRow("shortcut command X")
            << ActionType::shortcut(QStringLiteral("X"), 7, KeyModifiers{true, false, false, false})
            << QStringLiteral("⌘X") << QStringLiteral("⌘X");
        QTest::newRow("shortcut all flags")
            << ActionType::shortcut(QStringLiteral("K"), 40, KeyModifiers{true, true, true, true})
            << QStringLiteral("⌃⌥⇧⌘K") << QStringLiteral("⌃⌥⇧⌘K");
        QTest::newRow("shortcut no flags") << ActionType::shortcut(QStringLiteral("F5"), 96, KeyModifiers{})
                                           << QStringLiteral("F5") << QStringLiteral("F5");
        QTest::newRow("run shortcut trimmed")
            << ActionType::runShortcut(QStringLiteral("  Translate it \n")) << QStringLiteral("Translate it")
            << QStringLiteral("Translate it");
        QTest::newRow("run shortcut blank")
            << ActionType::runShortcut(QStringLiteral(" \n\t ")) << QStringLiteral("快捷指令")
            << marker(QStringLiteral("action.run_shortcut_empty"));
        QTest::newRow("paste 15 chars whole") << ActionType::pasteText(fifteen) << fifteen << fifteen;
        QTest::newRow("paste 16 chars cut")
            << ActionType::pasteText(fifteen + QStringLiteral("p")) << fifteen + QStringLiteral("...")
            << fifteen + QStringLiteral("...");
        QTest::newRow("paste trimmed before counting")
            << ActionType::pasteText(QStringLiteral("\n  ") + fifteen + QStringLiteral("  \n")) << fifteen
            << fifteen;
        QTest::newRow("paste 15 emoji clusters whole")
            << ActionType::pasteText(repeated(family, 15)) << repeated(family, 15) << repeated(family, 15);
        QTest::newRow("paste 16 emoji clusters cut")
            << ActionType::pasteText(repeated(family, 16)) << repeated(family, 15) + QStringLiteral("...")
            << repeated(family, 15) + QStringLiteral("...");
        QTest::newRow("paste 15 combining clusters whole")
            << ActionType::pasteText(repeated(accented, 15)) << repeated(accented, 15)
            << repeated(accented, 15);
        QTest::newRow("paste 16 CJK cut") << ActionType::pasteText(repeated(QStringLiteral("字"), 16))
                                          << repeated(QStringLiteral("字"), 15) + QStringLiteral("...")
                                          << repeated(QStringLiteral("字"), 15) + QStringLiteral("...");
        QTest::newRow("paste blank") << ActionType::pasteText(QStringLiteral("  \n \r\n "))
                                     << QStringLiteral("常用文本")
                                     << marker(QStringLiteral("action.paste_text_empty"));
        QTest::newRow("launch app") << launch(QStringLiteral("org.gnome.gedit"))
                                    << QStringLiteral("action.launch_app")
                                    << formatMarker(QStringLiteral("action.launch_app"),
                                                    QStringLiteral("Some App"));
        QTest::newRow("open url") << ActionType::openURL(QStringLiteral("https://example.org/?q=%d"))
                                  << QStringLiteral("action.open_url")
                                  << formatMarker(QStringLiteral("action.open_url"),
                                                  QStringLiteral("https://example.org/?q=%d"));
        QTest::newRow("open path") << ActionType::openPath(QStringLiteral("  /home/me/Documents/ "))
                                   << QStringLiteral("Documents") << QStringLiteral("Documents");
        QTest::newRow("open path file")
            << ActionType::openPath(QStringLiteral("/tmp/report 2024.pdf"))
            << QStringLiteral("report 2024.pdf") << QStringLiteral("report 2024.pdf");
        QTest::newRow("open path relative") << ActionType::openPath(QStringLiteral("notes"))
                                            << QStringLiteral("notes") << QStringLiteral("notes");
        QTest::newRow("open path root")
            << ActionType::openPath(QStringLiteral("/")) << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("open path blank")
            << ActionType::openPath(QStringLiteral("   ")) << QStringLiteral("打开文件夹")
            << marker(QStringLiteral("action.open_path_empty"));
        QTest::newRow("system control")
            << ActionType::systemControl(SystemControlAction::lockScreen) << QStringLiteral("锁定屏幕")
            << marker(QStringLiteral("action.sys.lock_screen"));
        QTest::newRow("none") << ActionType::none() << QStringLiteral("未分配")
                              << marker(QStringLiteral("slot.unassigned"));
    }

    void summary()
    {
        QFETCH(ActionType, action);
        QFETCH(QString, fallbackText);
        QFETCH(QString, keyedText);
        useLookup(Lookup::Fallback);
        QCOMPARE(action.localizedSummary(), fallbackText);
        useLookup(Lookup::Keyed);
        QCOMPARE(action.localizedSummary(), keyedText);
        QCOMPARE(action.summary(), keyedText);
    }

    void categoryName_data()
    {
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("fallback");
        QTest::newRow("shortcut") << ActionType::shortcut({}, 0, {}) << "slot.type.shortcut"
                                  << QStringLiteral("快捷键");
        QTest::newRow("run shortcut")
            << ActionType::runShortcut({}) << "slot.type.run_shortcut" << QStringLiteral("快捷指令");
        QTest::newRow("paste") << ActionType::pasteText({}) << "slot.type.paste_text"
                               << QStringLiteral("常用文本");
        QTest::newRow("launch") << launch({}) << "slot.type.launch_app" << QStringLiteral("启动应用");
        QTest::newRow("url") << ActionType::openURL({}) << "slot.type.open_url" << QStringLiteral("打开网址");
        QTest::newRow("path") << ActionType::openPath({}) << "slot.type.open_path"
                              << QStringLiteral("打开文件夹");
        QTest::newRow("system uses its own key") << ActionType::systemControl(SystemControlAction::mute)
                                                 << "slot.type.system_ctrl" << QStringLiteral("系统控制");
        QTest::newRow("none") << ActionType::none() << "slot.type.none" << QStringLiteral("无动作");
    }

    void categoryName()
    {
        QFETCH(ActionType, action);
        QFETCH(QString, key);
        QFETCH(QString, fallback);
        for (Lookup mode : kModes) {
            useLookup(mode);
            QCOMPARE(action.localizedCategoryName(), expected(mode, key, fallback));
        }
    }

    void direction_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fallback");
        QTest::addColumn<QString>("shortFallback");
        QTest::newRow("north") << 0 << "north" << QStringLiteral("正上方 (12点方向)")
                               << QStringLiteral("正上");
        QTest::newRow("northEast") << 1 << "northEast" << QStringLiteral("右上 (1点半方向)")
                                   << QStringLiteral("右上");
        QTest::newRow("east") << 2 << "east" << QStringLiteral("正右方 (3点方向)") << QStringLiteral("正右");
        QTest::newRow("southEast") << 3 << "southEast" << QStringLiteral("右下 (4点半方向)")
                                   << QStringLiteral("右下");
        QTest::newRow("south") << 4 << "south" << QStringLiteral("正下方 (6点方向)")
                               << QStringLiteral("正下");
        QTest::newRow("southWest") << 5 << "southWest" << QStringLiteral("左下 (7点半方向)")
                                   << QStringLiteral("左下");
        QTest::newRow("west") << 6 << "west" << QStringLiteral("正左方 (9点方向)") << QStringLiteral("正左");
        QTest::newRow("northWest") << 7 << "northWest" << QStringLiteral("左上 (10点半方向)")
                                   << QStringLiteral("左上");
    }

    void direction()
    {
        QFETCH(int, raw);
        QFETCH(QString, name);
        QFETCH(QString, fallback);
        QFETCH(QString, shortFallback);
        const auto position = RadialSector::fromRawValue(raw);
        QVERIFY(position);
        QCOMPARE(RadialSector::allCases().at(raw), *position);
        QCOMPARE(RadialSector::midAngleDegrees(*position), raw * 45.0);
        QVERIFY(!RadialSector::fromRawValue(raw - 8));
        QVERIFY(!RadialSector::fromRawValue(raw + 8));
        const QString key = QStringLiteral("slot.direction.") + name;
        for (Lookup mode : kModes) {
            useLookup(mode);
            QCOMPARE(RadialSector::localizedDirectionName(*position), expected(mode, key, fallback));
            QCOMPARE(RadialSector::directionName(*position), expected(mode, key, fallback));
            QCOMPARE(RadialSector::localizedShortDirectionName(*position),
                     expected(mode, key + QStringLiteral(".short"), shortFallback));
        }
    }

    void slotPosition_data()
    {
        QTest::addColumn<qint64>("index");
        QTest::addColumn<RadialSectorPosition>("position");
        QTest::newRow("0") << qint64(0) << RadialSectorPosition::north;
        QTest::newRow("5") << qint64(5) << RadialSectorPosition::southWest;
        QTest::newRow("8 wraps") << qint64(8) << RadialSectorPosition::north;
        QTest::newRow("9 wraps") << qint64(9) << RadialSectorPosition::northEast;
        QTest::newRow("-1 is north") << qint64(-1) << RadialSectorPosition::north;
        QTest::newRow("-7 is north") << qint64(-7) << RadialSectorPosition::north;
        QTest::newRow("-8 is north") << qint64(-8) << RadialSectorPosition::north;
        QTest::newRow("int64 max") << std::numeric_limits<qint64>::max() << RadialSectorPosition::northWest;
        QTest::newRow("int64 min") << std::numeric_limits<qint64>::min() << RadialSectorPosition::north;
    }

    void slotPosition()
    {
        QFETCH(qint64, index);
        QFETCH(RadialSectorPosition, position);
        QCOMPARE(ActionSlot::empty(index).position(), position);
    }

    void slotFlags_data()
    {
        QTest::addColumn<ActionSlot>("slot");
        QTest::addColumn<bool>("isEmpty");
        QTest::addColumn<bool>("isVolume");
        const auto up = ActionType::systemControl(SystemControlAction::volumeUp);
        QTest::newRow("assigned") << slotWith(QStringLiteral("Up"), up) << false << true;
        QTest::newRow("disabled volume") << slotWith(QStringLiteral("Up"), up, false) << true << false;
        QTest::newRow("volume without title") << slotWith({}, up) << true << true;
        QTest::newRow("unassigned title") << slotWith(QStringLiteral("未分配"), up) << true << true;
        QTest::newRow("no action") << slotWith(QStringLiteral("X"), ActionType::none()) << true << false;
        QTest::newRow("mute") << slotWith(QStringLiteral("M"),
                                          ActionType::systemControl(SystemControlAction::mute))
                              << false << true;
        QTest::newRow("brightness is not volume")
            << slotWith(QStringLiteral("B"), ActionType::systemControl(SystemControlAction::brightnessUp))
            << false << false;
        QTest::newRow("empty slot") << ActionSlot::empty(3) << true << false;
    }

    void slotFlags()
    {
        QFETCH(ActionSlot, slot);
        QFETCH(bool, isEmpty);
        QFETCH(bool, isVolume);
        QCOMPARE(slot.isEmpty(), isEmpty);
        QCOMPARE(slot.isVolumeAction(), isVolume);
    }

    void modifiers_data()
    {
        QTest::addColumn<KeyModifiers>("modifiers");
        QTest::addColumn<QString>("glyphs");
        QTest::addColumn<quint64>("flags");
        QTest::newRow("none") << KeyModifiers{} << QString() << quint64(0);
        QTest::newRow("command") << KeyModifiers{true, false, false, false} << QStringLiteral("⌘")
                                 << quint64(0x100000);
        QTest::newRow("option") << KeyModifiers{false, true, false, false} << QStringLiteral("⌥")
                                << quint64(0x80000);
        QTest::newRow("control") << KeyModifiers{false, false, true, false} << QStringLiteral("⌃")
                                 << quint64(0x40000);
        QTest::newRow("shift") << KeyModifiers{false, false, false, true} << QStringLiteral("⇧")
                               << quint64(0x20000);
        QTest::newRow("command shift")
            << KeyModifiers{true, false, false, true} << QStringLiteral("⇧⌘") << quint64(0x120000);
        QTest::newRow("control option")
            << KeyModifiers{false, true, true, false} << QStringLiteral("⌃⌥") << quint64(0xC0000);
        QTest::newRow("all") << KeyModifiers{true, true, true, true} << QStringLiteral("⌃⌥⇧⌘")
                             << quint64(0x1E0000);
    }

    void modifiers()
    {
        QFETCH(KeyModifiers, modifiers);
        QFETCH(QString, glyphs);
        QFETCH(quint64, flags);
        QCOMPARE(modifiers.displayString(), glyphs);
        QCOMPARE(modifiers.nsEventFlags(), flags);
        QCOMPARE(KeyModifiers::fromNsEventFlags(flags), modifiers);
        // Caps lock, function key and device-specific bits change nothing.
        const quint64 noise = 0x10000 | 0x800000 | 0x200000 | 0x100 | 0x8 | 0x2;
        QCOMPARE(KeyModifiers::fromNsEventFlags(flags | noise), modifiers);
    }

    void systemControls_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("fallback");
        QTest::addColumn<bool>("volume");
        const QStringList symbols{"square.2.layers.3d.top.filled",
                                  "desktopcomputer",
                                  "speaker.wave.3.fill",
                                  "speaker.wave.1.fill",
                                  "speaker.slash.fill",
                                  "sun.max.fill",
                                  "sun.min.fill",
                                  "lock.fill",
                                  "rectangle.dashed.badge.record",
                                  "camera.viewfinder",
                                  "playpause.fill",
                                  "magnifyingglass",
                                  "folder.fill"};
        const QStringList names{"调度中心",    "显示桌面", "增加音量", "减小音量", "静音 / 取消静音",
                                "提高亮度",    "降低亮度", "锁定屏幕", "区域截图", "全屏截图",
                                "播放 / 暂停", "聚焦搜索", "访达"};
        for (int i = 0; i < kSystemRaw.size(); ++i)
            QTest::newRow(kSystemRaw[i].toLatin1().constData())
                << i << kSystemRaw[i] << symbols[i] << names[i] << (i >= 2 && i <= 4);
    }

    void systemControls()
    {
        QFETCH(int, position);
        QFETCH(QString, raw);
        QFETCH(QString, symbol);
        QFETCH(QString, fallback);
        QFETCH(bool, volume);
        const QList<SystemControlAction> all = SystemControl::allCases();
        QCOMPARE(all.size(), 13);
        QCOMPARE(SystemControl::availableCases(), all);
        const SystemControlAction action = all.at(position);
        QCOMPARE(SystemControl::rawValue(action), raw);
        QCOMPARE(SystemControl::fromRawValue(raw), std::optional(action));
        QVERIFY(!SystemControl::fromRawValue(raw.toUpper()));
        QVERIFY(!SystemControl::fromRawValue(QLatin1Char(' ') + raw));
        QCOMPARE(SystemControl::defaultSymbol(action), symbol);
        QCOMPARE(SystemControl::isVolumeControl(action), volume);
        QCOMPARE(ActionType::systemControl(action).isVolumeAction(), volume);
        for (Lookup mode : kModes) {
            useLookup(mode);
            QCOMPARE(SystemControl::localizedName(action),
                     expected(mode, QStringLiteral("action.sys.") + raw, fallback));
            QCOMPARE(SystemControl::displayName(action), SystemControl::localizedName(action));
        }
    }

    void hashing_data()
    {
        QTest::addColumn<ActionSlot>("a");
        QTest::addColumn<ActionSlot>("b");
        QTest::addColumn<bool>("equal");
        const ActionSlot base = slotWith(QStringLiteral("t"), ActionType::pasteText(QStringLiteral("x")));
        auto changed = [&](auto change) {
            ActionSlot s = base;
            change(s);
            return s;
        };
        QTest::newRow("same") << base << base << true;
        QTest::newRow("title") << base << changed([](ActionSlot& s) { s.title = QStringLiteral("u"); })
                               << false;
        QTest::newRow("case with same text")
            << base << changed([](ActionSlot& s) { s.action = ActionType::openURL(QStringLiteral("x")); })
            << false;
        QTest::newRow("icon case with same name")
            << base << changed([](ActionSlot& s) { s.icon = IconInfo::customImage(QStringLiteral("star")); })
            << false;
        QTest::newRow("modifier") << changed([](ActionSlot& s) {
            s.action = ActionType::shortcut("K", 40, KeyModifiers{true});
        }) << changed([](ActionSlot& s) {
            s.action = ActionType::shortcut("K", 40, KeyModifiers{false, true});
        }) << false;
        QTest::newRow("enabled") << base << changed([](ActionSlot& s) { s.isEnabled = false; }) << false;
        QTest::newRow("id") << base << changed([](ActionSlot& s) { s.id = QUuid::createUuid(); }) << false;
    }

    void hashing()
    {
        QFETCH(ActionSlot, a);
        QFETCH(ActionSlot, b);
        QFETCH(bool, equal);
        QCOMPARE(a == b, equal);
        QCOMPARE(qHash(a) == qHash(b), equal);
        QCOMPARE(QSet<ActionSlot>({a, b}).size(), equal ? 1 : 2);
        RingProfile ringA = PresetProfiles::globalDefault();
        RingProfile ringB = ringA;
        ringA.slots[3] = a;
        ringB.slots[3] = b;
        QCOMPARE(qHash(ringA) == qHash(ringB), equal);
    }

    // Rings

    void normalisation_data()
    {
        QTest::addColumn<QList<qint64>>("given");
        // For each resulting position: which given slot lands there, -1 for a new empty slot.
        QTest::addColumn<QList<int>>("from");
        QTest::newRow("2, 2, 9") << QList<qint64>{2, 2, 9} << QList<int>{-1, -1, 0, -1, -1, -1, -1, -1};
        QTest::newRow("eight zeros kept")
            << QList<qint64>{0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("eight reversed kept")
            << QList<qint64>{7, 6, 5, 4, 3, 2, 1, 0} << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("eight out of range kept")
            << QList<qint64>{-1, 9, 2, 3, 4, 5, 6, 100} << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("none") << QList<qint64>{} << QList<int>{-1, -1, -1, -1, -1, -1, -1, -1};
        QTest::newRow("nine sorted") << QList<qint64>{0, 1, 2, 3, 4, 5, 6, 7, 8}
                                     << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("seven unsorted")
            << QList<qint64>{6, 5, 4, 3, 2, 1, 0} << QList<int>{6, 5, 4, 3, 2, 1, 0, -1};
        QTest::newRow("negative dropped")
            << QList<qint64>{-1, 3} << QList<int>{-1, -1, -1, 1, -1, -1, -1, -1};
        QTest::newRow("later duplicate dropped")
            << QList<qint64>{1, 0, 1} << QList<int>{1, 0, -1, -1, -1, -1, -1, -1};
    }

    void normalisation()
    {
        QFETCH(QList<qint64>, given);
        QFETCH(QList<int>, from);
        QList<ActionSlot> slots;
        for (int i = 0; i < given.size(); ++i)
            slots.append(slotWith(QStringLiteral("s%1").arg(i), ActionType::pasteText(QString::number(i)),
                                  true, given[i]));
        const RingProfile ring(QUuid::createUuid(), QStringLiteral("r"), std::nullopt, std::nullopt, slots,
                               false);
        QCOMPARE(ring.slots.size(), 8);
        QSet<QUuid> ids;
        for (int pos = 0; pos < 8; ++pos) {
            const ActionSlot& got = ring.slots.at(pos);
            ids.insert(got.id);
            if (from[pos] >= 0) {
                QCOMPARE(got, slots.at(from[pos]));
            } else {
                QCOMPARE(got.index, qint64(pos));
                QCOMPARE(got.title, QString());
                QCOMPARE(got.icon, IconInfo::sfSymbol(QString()));
                QVERIFY(got.action.isNone());
                QVERIFY(!got.isEnabled);
                QVERIFY(!got.id.isNull());
            }
        }
        QCOMPARE(ids.size(), 8);
    }

    void slotAt_data()
    {
        QTest::addColumn<QList<qint64>>("indices"); // exactly eight: kept as given
        QTest::addColumn<qint64>("sector");
        QTest::addColumn<int>("found"); // position in the list, -1 for nothing
        const QList<qint64> wellFormed{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("3") << wellFormed << qint64(3) << 3;
        QTest::newRow("10 looks for 2") << wellFormed << qint64(10) << 2;
        QTest::newRow("8 looks for 0") << wellFormed << qint64(8) << 0;
        QTest::newRow("-1 finds nothing") << wellFormed << qint64(-1) << -1;
        QTest::newRow("-1 finds index -1") << QList<qint64>{0, 1, 2, 3, 4, 5, 6, -1} << qint64(-1) << 7;
        QTest::newRow("-9 looks for -1") << QList<qint64>{0, 1, 2, 3, 4, 5, 6, -1} << qint64(-9) << 7;
        QTest::newRow("first of duplicates") << QList<qint64>{5, 5, 5, 5, 5, 5, 5, 5} << qint64(5) << 0;
        QTest::newRow("missing sector") << QList<qint64>{0, 0, 0, 0, 0, 0, 0, 0} << qint64(4) << -1;
    }

    void slotAt()
    {
        QFETCH(QList<qint64>, indices);
        QFETCH(qint64, sector);
        QFETCH(int, found);
        QList<ActionSlot> slots;
        for (qint64 index : indices)
            slots.append(slotWith(QStringLiteral("t"), ActionType::none(), true, index));
        const RingProfile ring(QUuid::createUuid(), {}, std::nullopt, std::nullopt, slots, false);
        const auto slot = ring.slotAt(sector);
        if (found < 0)
            QVERIFY(!slot);
        else
            QCOMPARE(slot, std::optional(slots.at(found)));
    }

    void updateSlot()
    {
        RingProfile ring = PresetProfiles::globalDefault();
        const ActionSlot replacement =
            slotWith(QStringLiteral("new"), ActionType::openURL(QStringLiteral("u")), true, 3);
        ring.updateSlot(replacement);
        QCOMPARE(ring.slots.size(), 8);
        QCOMPARE(ring.slots.at(3), replacement); // id included

        RingProfile dup(QUuid::createUuid(), {}, std::nullopt, std::nullopt,
                        QList<ActionSlot>(8, slotWith(QStringLiteral("old"), ActionType::none(), true, 0)),
                        false);
        const ActionSlot first = slotWith(QStringLiteral("first"), ActionType::none(), true, 0);
        dup.updateSlot(first);
        QCOMPARE(dup.slots.at(0), first);
        QCOMPARE(dup.slots.at(1).title, QStringLiteral("old"));

        const ActionSlot extra = slotWith(QStringLiteral("extra"), ActionType::none(), true, 12);
        ring.updateSlot(extra);
        QCOMPARE(ring.slots.size(), 9);
        QCOMPARE(ring.slots.last(), extra);
    }

    void globalDefault()
    {
        const RingProfile a = PresetProfiles::globalDefault();
        const RingProfile b = PresetProfiles::globalDefault();
        QVERIFY(a != b);
        QVERIFY(a.id != b.id);
        RingProfile sameIds = b;
        sameIds.id = a.id;
        for (int i = 0; i < 8; ++i)
            sameIds.slots[i].id = a.slots[i].id;
        QCOMPARE(sameIds, a);

        QVERIFY(a.isBuiltIn);
        QVERIFY(a.isGlobalDefault());
        QVERIFY(!a.appIconPath);
        QCOMPARE(a.name, QStringLiteral("通用配置 (全局默认)"));
        QSet<QUuid> ids;
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(a.slots[i].index, qint64(i));
            QVERIFY(a.slots[i].isEnabled);
            ids.insert(a.slots[i].id);
        }
        QCOMPARE(ids.size(), 8);
        QCOMPARE(a.slots[0].action, ActionType::systemControl(SystemControlAction::screenshotArea));
        QCOMPARE(a.slots[1].action, ActionType::runShortcut(QStringLiteral("翻译所选内容")));
        QCOMPARE(a.slots[2].action, ActionType::pasteText(QStringLiteral(
                                        "这是 Rondix 预设的常用文本，点击即可一键复制到剪贴板。")));
        QCOMPARE(a.slots[3].action, ActionType::systemControl(SystemControlAction::missionControl));
        QCOMPARE(a.slots[4].action, ActionType::systemControl(SystemControlAction::lockScreen));
        QCOMPARE(a.slots[5].action, ActionType::systemControl(SystemControlAction::openFinder));
        QCOMPARE(a.slots[6].action, ActionType::systemControl(SystemControlAction::showDesktop));
        QCOMPARE(a.slots[7].action, ActionType::systemControl(SystemControlAction::spotlight));

        const QList<RingProfile> all = PresetProfiles::allDefaults();
        QCOMPARE(all.size(), 1);
        QVERIFY(all.first().isGlobalDefault());
        QVERIFY(all.first().isBuiltIn);
    }

    // The built-in titles follow the interface language, except the Shortcut one.
    void globalDefaultTitles()
    {
        useLookup(Lookup::Keyed);
        const RingProfile ring = PresetProfiles::globalDefault();
        QCOMPARE(ring.slots[0].displayTitle(), marker(QStringLiteral("action.sys.screenshot_area")));
        QCOMPARE(ring.slots[1].displayTitle(), QStringLiteral("快捷指令"));
        QCOMPARE(ring.slots[2].displayTitle(), marker(QStringLiteral("slot.type.paste_text")));
        QCOMPARE(ring.slots[5].displayTitle(), marker(QStringLiteral("action.sys.open_finder")));
        QCOMPARE(ring.slots[7].displayTitle(), marker(QStringLiteral("action.sys.spotlight")));
    }

    void ringDisplayName_data()
    {
        QTest::addColumn<std::optional<QString>>("bundleId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("global, renamed") << std::optional<QString>() << QStringLiteral("Mine")
                                         << "profile.global_default" << QStringLiteral("通用配置 (全局默认)");
        QTest::newRow("app ring") << std::optional<QString>(QStringLiteral("firefox"))
                                  << QStringLiteral("Firefox") << "" << QStringLiteral("Firefox");
        QTest::newRow("empty bundle id is an app ring")
            << std::optional<QString>(QString()) << QStringLiteral("Odd") << "" << QStringLiteral("Odd");
    }

    void ringDisplayName()
    {
        QFETCH(std::optional<QString>, bundleId);
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, text);
        RingProfile ring = PresetProfiles::globalDefault();
        ring.name = name;
        ring.bundleIdentifier = bundleId;
        QCOMPARE(ring.isGlobalDefault(), !bundleId.has_value());
        for (Lookup mode : kModes) {
            useLookup(mode);
            QCOMPARE(ring.displayName(), expected(mode, key, text));
        }
    }
};

QTEST_GUILESS_MAIN(TestModelRecords)
#include "tst_model_records.moc"
