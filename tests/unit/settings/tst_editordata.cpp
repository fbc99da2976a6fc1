// Key tables and editor presets: what a recorded or typed key stores, and the
// slot each preset, template and quick path produces.
#include "l10n/L10n.h"
#include "settings/EditorPresets.h"
#include "settings/KeyCodeHelper.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorPresets;

namespace {

// A small English table. Everything not listed here falls back to the call
// site's text, so expectations below are exact.
const char kEnglishTable[] = R"table("slot.preset.copy" = "Copy (⌘C)";
"slot.preset.next_tab" = "Next Tab (⌃Tab)";
"slot.preset.prev_tab_short" = "Previous Tab";
"slot.paste_text.preset_polish_title" = "Polish";
"slot.type.paste_text" = "Paste Text";
"path.applications" = "Applications";
)table";

KeyModifiers modifiers(bool command, bool option, bool control, bool shift)
{
    KeyModifiers m;
    m.command = command;
    m.option = option;
    m.control = control;
    m.shift = shift;
    return m;
}

ActionSlot userSlot()
{
    ActionSlot slot = ActionSlot::empty(3);
    slot.title = QStringLiteral("My own title");
    slot.icon = IconInfo::app(QStringLiteral("firefox"), QStringLiteral("Firefox"),
                              QStringLiteral("/usr/share/applications/firefox.desktop"));
    slot.action = ActionType::openURL(QStringLiteral("https://example.org"));
    slot.isEnabled = false;
    return slot;
}

} // namespace

class TestEditorData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void keyName_data();
    void keyName();
    void keyCode_data();
    void keyCode();
    void typedKeysRoundTrip_data();
    void typedKeysRoundTrip();
    void namedKeysRoundTrip();

    void shortcutPresets_data();
    void shortcutPresets();
    void presetSections();
    void presetEntryShowsControlGlyph();
    void applyShortcutPresetReplacesTitleAndIcon();

    void promptTemplates();
    void applyPromptTemplate_data();
    void applyPromptTemplate();

    void quickPaths();
    void applyQuickPathReplacesEverything();

    void systemControlsInDeclarationOrder();
    void placeholders_data();
    void placeholders();

private:
    QTemporaryDir m_dir;
};

void TestEditorData::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("l10n/en.lproj")));
    QFile table(m_dir.filePath(QStringLiteral("l10n/en.lproj/Localizable.strings")));
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write(kEnglishTable);
    table.close();
    qputenv("RONDIX_L10N_DIR", m_dir.filePath(QStringLiteral("l10n")).toUtf8());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
    L10n::shared().setCurrentLanguage(QStringLiteral("en"));
    QCOMPARE(L10n::string(QStringLiteral("slot.type.paste_text")), QStringLiteral("Paste Text"));
}

void TestEditorData::keyName_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");

    const QList<QPair<int, QString>> named = {
        {0, "A"},      {1, "S"},      {2, "D"},         {3, "F"},
        {4, "H"},      {5, "G"},      {6, "Z"},         {7, "X"},
        {8, "C"},      {9, "V"},      {11, "B"},        {12, "Q"},
        {13, "W"},     {14, "E"},     {15, "R"},        {16, "Y"},
        {17, "T"},     {18, "1"},     {19, "2"},        {20, "3"},
        {21, "4"},     {22, "6"},     {23, "5"},        {24, "="},
        {25, "9"},     {26, "7"},     {27, "-"},        {28, "8"},
        {29, "0"},     {30, "]"},     {31, "O"},        {32, "U"},
        {33, "["},     {34, "I"},     {35, "P"},        {36, "Return"},
        {37, "L"},     {38, "J"},     {39, "'"},        {40, "K"},
        {41, ";"},     {42, "\\"},    {43, ","},        {44, "/"},
        {45, "N"},     {46, "M"},     {47, "."},        {48, "Tab"},
        {49, "Space"}, {50, "`"},     {51, "Delete"},   {53, "Esc"},
        {96, "F5"},    {97, "F6"},    {98, "F7"},       {99, "F3"},
        {100, "F8"},   {101, "F9"},   {103, "F11"},     {109, "F10"},
        {111, "F12"},  {115, "Home"}, {116, "Page Up"}, {117, "Forward Delete"},
        {118, "F4"},   {119, "End"},  {120, "F2"},      {121, "Page Down"},
        {122, "F1"},   {123, "←"},    {124, "→"},       {125, "↓"},
        {126, "↑"},
    };
    for (const auto& [code, name] : named)
        QTest::addRow("%d %s", code, qPrintable(name)) << code << name;

    // Gaps in the table and codes past it.
    for (int code : {10, 52, 54, 55, 63, 95, 102, 104, 105, 110, 112, 114, 127, 128, 1000, 65535})
        QTest::addRow("unnamed %d", code) << code << QStringLiteral("Key(%1)").arg(code);
}

void TestEditorData::keyName()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(KeyCodeHelper::keyName(quint16(code)), name);
}

void TestEditorData::keyCode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code"); // -1: no code

    QTest::newRow("c") << "c" << 8;
    QTest::newRow("C upper") << "C" << 8;
    QTest::newRow("space") << " " << 49;
    QTest::newRow("5 before 6") << "5" << 23;
    QTest::newRow("6") << "6" << 22;
    QTest::newRow("backslash") << "\\" << 42;

    QTest::newRow("Tab") << "Tab" << -1;
    QTest::newRow("F5") << "F5" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("backtick") << "`" << -1;
    QTest::newRow("quote") << "'" << -1;
    QTest::newRow("Space word") << "Space" << -1;
    QTest::newRow("two letters") << "cc" << -1;
    QTest::newRow("letter and blank") << "c " << -1;
    QTest::newRow("blank and letter") << " c" << -1;
    QTest::newRow("tab character") << "\t" << -1;
    QTest::newRow("arrow") << "↑" << -1;
    QTest::newRow("letter with accent") << "é" << -1;
    QTest::newRow("combining accent") << QStringLiteral("c\u0301") << -1;
    QTest::newRow("full-width c") << QStringLiteral("ｃ") << -1;
}

void TestEditorData::keyCode()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    const std::optional<quint16> result = KeyCodeHelper::keyCode(text);
    if (code < 0) {
        QVERIFY2(!result, qPrintable(QStringLiteral("unexpected code %1").arg(result.value_or(0))));
    } else {
        QVERIFY(result.has_value());
        QCOMPARE(int(*result), code);
    }
}

void TestEditorData::typedKeysRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    const QString typed = QStringLiteral("asdfhgzxcvbqweryt1234659=7-80]ou[ipljk;\\,/nm.");
    for (const QChar c : typed)
        QTest::addRow("%s", qPrintable(QString(c))) << QString(c);
}

// A typed character and the name of its code must describe the same key,
// otherwise a typed shortcut would send a different key than it shows.
void TestEditorData::typedKeysRoundTrip()
{
    QFETCH(QString, text);
    const std::optional<quint16> code = KeyCodeHelper::keyCode(text);
    QVERIFY(code.has_value());
    QCOMPARE(KeyCodeHelper::keyName(*code).toLower(), text);
    QCOMPARE(KeyCodeHelper::keyCode(text.toUpper()), code);
}

// Every single-character ASCII name other than ' and ` reads back to its own code.
void TestEditorData::namedKeysRoundTrip()
{
    int checked = 0;
    for (int code = 0; code < 128; ++code) {
        const QString name = KeyCodeHelper::keyName(quint16(code));
        if (name.size() != 1 || name.at(0).unicode() > 0x7f || name == QLatin1String("'") ||
            name == QLatin1String("`"))
            continue;
        const std::optional<quint16> back = KeyCodeHelper::keyCode(name);
        QVERIFY2(back.has_value(), qPrintable(name));
        QCOMPARE(int(*back), code);
        ++checked;
    }
    QCOMPARE(checked, 45);
}

void TestEditorData::shortcutPresets_data()
{
    QTest::addColumn<QString>("entryKey");
    QTest::addColumn<QString>("entryFallback");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("titleKey");
    QTest::addColumn<QString>("titleFallback");
    QTest::addColumn<QString>("icon");

    // Every preset sends Control on Linux; only the previous-tab one adds Shift.
    QTest::newRow("next tab") << "slot.preset.next_tab"
                              << "切换到下一个标签 (⌃Tab)"
                              << "Tab" << 48 << false << "slot.preset.next_tab_short"
                              << "下一个标签"
                              << "arrow.right.to.line";
    QTest::newRow("prev tab") << "slot.preset.prev_tab"
                              << "切换到上一个标签 (⌃⇧Tab)"
                              << "Tab" << 48 << true << "slot.preset.prev_tab_short"
                              << "上一个标签"
                              << "arrow.left.to.line";
    QTest::newRow("new tab") << "slot.preset.new_tab"
                             << "新建标签页 (⌃T)"
                             << "T" << 17 << false << "slot.preset.new_tab_short"
                             << "新建标签"
                             << "plus.square";
    QTest::newRow("close tab") << "slot.preset.close_tab"
                               << "关闭当前标签 (⌃W)"
                               << "W" << 13 << false << "slot.preset.close_tab_short"
                               << "关闭标签"
                               << "xmark.square";
    QTest::newRow("refresh") << "slot.preset.refresh"
                             << "刷新网页 (⌃R)"
                             << "R" << 15 << false << "slot.preset.refresh_short"
                             << "刷新"
                             << "arrow.clockwise";
    QTest::newRow("copy") << "slot.preset.copy"
                          << "复制 (⌃C)"
                          << "C" << 8 << false << "slot.preset.copy_short"
                          << "复制"
                          << "doc.on.doc.fill";
    QTest::newRow("paste") << "slot.preset.paste"
                           << "粘贴 (⌃V)"
                           << "V" << 9 << false << "slot.preset.paste_short"
                           << "粘贴"
                           << "doc.on.clipboard.fill";
    QTest::newRow("cut") << "slot.preset.cut"
                         << "剪切 (⌃X)"
                         << "X" << 7 << false << "slot.preset.cut_short"
                         << "剪切"
                         << "scissors";
    QTest::newRow("undo") << "slot.preset.undo"
                          << "撤销 (⌃Z)"
                          << "Z" << 6 << false << "slot.preset.undo_short"
                          << "撤销"
                          << "arrow.uturn.backward";
    QTest::newRow("save") << "slot.preset.save"
                          << "保存 (⌃S)"
                          << "S" << 1 << false << "slot.preset.save_short"
                          << "保存"
                          << "square.and.arrow.down.fill";
}

void TestEditorData::shortcutPresets()
{
    QFETCH(QString, entryKey);
    QFETCH(QString, entryFallback);
    QFETCH(QString, key);
    QFETCH(int, code);
    QFETCH(bool, shift);
    QFETCH(QString, titleKey);
    QFETCH(QString, titleFallback);
    QFETCH(QString, icon);

    const std::optional<ShortcutPreset> preset = shortcutPreset(entryKey);
    QVERIFY(preset.has_value());
    QCOMPARE(preset->entryFallback, entryFallback);
    QCOMPARE(preset->key, key);
    QCOMPARE(int(preset->keyCode), code);
    QCOMPARE(preset->modifiers, modifiers(false, false, true, shift));
    QCOMPARE(preset->titleKey, titleKey);
    QCOMPARE(preset->titleFallback, titleFallback);
    QCOMPARE(preset->iconSymbol, icon);

    // The label's glyphs must match what is sent.
    QVERIFY(preset->entryFallback.contains(preset->modifiers.displayString() + key));
    QVERIFY(!preset->localizedEntry().contains(QStringLiteral("⌘")));

    // The key text and code describe the same key.
    QCOMPARE(KeyCodeHelper::keyName(preset->keyCode), key);
}

void TestEditorData::presetSections()
{
    const QList<ShortcutPresetSection> sections = shortcutSections();
    QCOMPARE(sections.size(), 2);
    QCOMPARE(sections[0].titleKey, QStringLiteral("slot.presets_browser"));
    QCOMPARE(sections[0].localizedTitle(), QStringLiteral("浏览器 / 标签切换"));
    QCOMPARE(sections[1].titleKey, QStringLiteral("slot.presets_editing"));
    QCOMPARE(sections[1].localizedTitle(), QStringLiteral("基础编辑"));

    QStringList browser, editing;
    for (const ShortcutPreset& p : sections[0].presets)
        browser << p.entryKey.section(QLatin1Char('.'), 2);
    for (const ShortcutPreset& p : sections[1].presets)
        editing << p.entryKey.section(QLatin1Char('.'), 2);
    QCOMPARE(browser, QStringList({"next_tab", "prev_tab", "new_tab", "close_tab", "refresh"}));
    QCOMPARE(editing, QStringList({"copy", "paste", "cut", "undo", "save"}));
    QCOMPARE(allShortcutPresets().size(), 10);
    QVERIFY(!shortcutPreset(QStringLiteral("slot.preset.redo")).has_value());
    QCOMPARE(presetsMenuTitle(), QStringLiteral("常用预设..."));
}

void TestEditorData::presetEntryShowsControlGlyph()
{
    // The table above labels copy with the Command glyph; copy sends Control here.
    QCOMPARE(shortcutPreset(QStringLiteral("slot.preset.copy"))->localizedEntry(),
             QStringLiteral("Copy (⌃C)"));
    QCOMPARE(shortcutPreset(QStringLiteral("slot.preset.next_tab"))->localizedEntry(),
             QStringLiteral("Next Tab (⌃Tab)"));
    QCOMPARE(shortcutPreset(QStringLiteral("slot.preset.paste"))->localizedEntry(),
             QStringLiteral("粘贴 (⌃V)"));
}

void TestEditorData::applyShortcutPresetReplacesTitleAndIcon()
{
    const ActionSlot before = userSlot();
    const ActionSlot after =
        applyShortcutPreset(before, *shortcutPreset(QStringLiteral("slot.preset.prev_tab")));

    QCOMPARE(after.id, before.id);
    QCOMPARE(after.index, before.index);
    QCOMPARE(after.title, QStringLiteral("Previous Tab"));
    QCOMPARE(after.icon, IconInfo::sfSymbol(QStringLiteral("arrow.left.to.line")));
    QCOMPARE(after.action,
             ActionType::shortcut(QStringLiteral("Tab"), 48, modifiers(false, false, true, true)));
    QVERIFY(after.isEnabled);
    QCOMPARE(after.action.localizedSummary(), QStringLiteral("⌃⇧Tab"));

    // Title with no translation: the fallback text.
    const ActionSlot copy = applyShortcutPreset(before, *shortcutPreset(QStringLiteral("slot.preset.copy")));
    QCOMPARE(copy.title, QStringLiteral("复制"));
    QCOMPARE(copy.action, ActionType::shortcut(QStringLiteral("C"), 8, modifiers(false, false, true, false)));
}

void TestEditorData::promptTemplates()
{
    const QList<PromptTemplate> prompts = EditorPresets::promptTemplates();
    QCOMPARE(prompts.size(), 3);
    QCOMPARE(prompts[0].labelFallback, QStringLiteral("🤖 润色文案"));
    QCOMPARE(prompts[0].localizedText(),
             QStringLiteral("请帮我润色并优化以下文案，使其更加专业、简练且流畅：\n\n"));
    QCOMPARE(prompts[0].localizedTitle(), QStringLiteral("Polish"));
    QCOMPARE(prompts[1].labelKey, QStringLiteral("slot.paste_text.preset_email"));
    QCOMPARE(prompts[1].localizedText(), QStringLiteral("祝好！\n如有任何疑问，请随时与我联系。"));
    QCOMPARE(prompts[1].localizedTitle(), QStringLiteral("邮件结尾"));
    QCOMPARE(prompts[2].localizedLabel(), QStringLiteral("📝 总结要点"));
    QCOMPARE(prompts[2].localizedText(),
             QStringLiteral("请对以下内容进行提炼总结，列出核心要点与关键结论：\n\n"));
    QCOMPARE(prompts[2].titleKey, QStringLiteral("slot.paste_text.preset_summary_title"));
    QCOMPARE(promptTemplatesTitle(), QStringLiteral("快速填入模板："));
}

void TestEditorData::applyPromptTemplate_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<IconInfo>("icon");
    QTest::addColumn<QString>("expectedTitle");
    QTest::addColumn<IconInfo>("expectedIcon");

    const IconInfo bubble = IconInfo::sfSymbol(QStringLiteral("text.bubble"));
    const IconInfo star = IconInfo::sfSymbol(QStringLiteral("star"));
    QTest::newRow("empty title and icon") << "" << IconInfo::sfSymbol({}) << "Polish" << bubble;
    QTest::newRow("unassigned literal")
        << "未分配" << IconInfo::sfSymbol(QStringLiteral("未分配")) << "Polish" << bubble;
    QTest::newRow("generic paste title") << "Paste Text" << star << "Polish" << star;
    QTest::newRow("own title kept") << "Greeting" << star << "Greeting" << star;
    QTest::newRow("untranslated generic title kept") << "常用文本" << star << "常用文本" << star;
    QTest::newRow("other template title kept")
        << "邮件结尾" << IconInfo::customImage({}) << "邮件结尾" << bubble;
}

void TestEditorData::applyPromptTemplate()
{
    QFETCH(QString, title);
    QFETCH(IconInfo, icon);
    QFETCH(QString, expectedTitle);
    QFETCH(IconInfo, expectedIcon);

    ActionSlot slot = ActionSlot::empty(2);
    slot.title = title;
    slot.icon = icon;
    const ActionSlot after =
        EditorPresets::applyPromptTemplate(slot, EditorPresets::promptTemplates().first());
    QCOMPARE(after.title, expectedTitle);
    QCOMPARE(after.icon, expectedIcon);
    QCOMPARE(after.action, ActionType::pasteText(
                               QStringLiteral("请帮我润色并优化以下文案，使其更加专业、简练且流畅：\n\n")));
    QVERIFY(after.isEnabled);
    QCOMPARE(after.id, slot.id);
}

void TestEditorData::quickPaths()
{
    const QList<QuickPath> paths = EditorPresets::quickPaths();
    QStringList stored, keys, titles;
    for (const QuickPath& p : paths) {
        stored << p.path;
        keys << p.titleKey;
        titles << p.localizedTitle();
    }
    QCOMPARE(stored,
             QStringList({"~/Downloads", "~/Documents", "~/Desktop", "~", "/usr/share/applications"}));
    QCOMPARE(keys, QStringList({"path.downloads", "path.documents", "path.desktop", "path.home",
                                "path.applications"}));
    QCOMPARE(titles, QStringList({"下载", "文稿", "桌面", "个人目录", "Applications"}));
    QCOMPARE(quickPathsTitle(), QStringLiteral("常用路径快捷填入："));
}

void TestEditorData::applyQuickPathReplacesEverything()
{
    const ActionSlot before = userSlot();
    const ActionSlot after = applyQuickPath(before, EditorPresets::quickPaths().at(4));
    QCOMPARE(after.title, QStringLiteral("Applications"));
    QCOMPARE(after.icon, IconInfo::sfSymbol(QStringLiteral("folder")));
    QCOMPARE(after.action, ActionType::openPath(QStringLiteral("/usr/share/applications")));
    QVERIFY(after.isEnabled);
    QCOMPARE(after.index, before.index);

    // "~" is stored unexpanded; the executor expands it when opening.
    QCOMPARE(applyQuickPath(before, EditorPresets::quickPaths().at(3)).action,
             ActionType::openPath(QStringLiteral("~")));
}

void TestEditorData::systemControlsInDeclarationOrder()
{
    using S = SystemControlAction;
    const QList<S> expected = {S::missionControl, S::showDesktop,      S::volumeUp,       S::volumeDown,
                               S::mute,           S::brightnessUp,     S::brightnessDown, S::lockScreen,
                               S::screenshotArea, S::screenshotScreen, S::mediaPlayPause, S::spotlight,
                               S::openFinder};
    QCOMPARE(systemControls(), expected);
}

void TestEditorData::placeholders_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<IconInfo>("icon");
    QTest::addColumn<bool>("titleIsPlaceholder");
    QTest::addColumn<bool>("iconIsPlaceholder");

    QTest::newRow("empty") << "" << IconInfo::sfSymbol({}) << true << true;
    QTest::newRow("unassigned") << "未分配" << IconInfo::sfSymbol(QStringLiteral("未分配")) << true << true;
    QTest::newRow("translated unassigned is real")
        << "Unassigned" << IconInfo::sfSymbol(QStringLiteral("star")) << false << false;
    QTest::newRow("blank is real") << " " << IconInfo::customImage(QStringLiteral(" ")) << false << false;
    QTest::newRow("app without name")
        << "x" << IconInfo::app(QStringLiteral("firefox"), {}, QStringLiteral("/p")) << false << true;
    QTest::newRow("app named unassigned")
        << "x" << IconInfo::app({}, QStringLiteral("未分配"), {}) << false << true;
    QTest::newRow("custom image") << "x" << IconInfo::customImage(QStringLiteral("logo")) << false << false;
}

void TestEditorData::placeholders()
{
    QFETCH(QString, title);
    QFETCH(IconInfo, icon);
    QFETCH(bool, titleIsPlaceholder);
    QFETCH(bool, iconIsPlaceholder);
    QCOMPARE(isPlaceholderTitle(title), titleIsPlaceholder);
    QCOMPARE(isPlaceholderIcon(icon), iconIsPlaceholder);
}

QTEST_GUILESS_MAIN(TestEditorData)
#include "tst_editordata.moc"
