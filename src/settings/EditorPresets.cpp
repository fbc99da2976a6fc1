#include "settings/EditorPresets.h"

#include "l10n/L10n.h"

namespace EditorPresets {

namespace {

KeyModifiers mods(bool control, bool shift)
{
    KeyModifiers m;
    m.control = control;
    m.shift = shift;
    return m;
}

ShortcutPreset preset(const char* entryKey, const char* entryFallback, const char* key, quint16 code,
                      KeyModifiers modifiers, const char* titleKey, const char* titleFallback,
                      const char* icon)
{
    ShortcutPreset p;
    p.entryKey = QString::fromUtf8(entryKey);
    p.entryFallback = QString::fromUtf8(entryFallback);
    p.key = QString::fromUtf8(key);
    p.keyCode = code;
    p.modifiers = modifiers;
    p.titleKey = QString::fromUtf8(titleKey);
    p.titleFallback = QString::fromUtf8(titleFallback);
    p.iconSymbol = QString::fromUtf8(icon);
    return p;
}

// The title a paste-text slot gets when it has none of its own.
QString genericPasteTextTitle()
{
    return L10n::string(QStringLiteral("slot.type.paste_text"), QStringLiteral("常用文本"));
}

} // namespace

QString ShortcutPreset::localizedEntry() const
{
    QString entry = L10n::string(entryKey, entryFallback);
    // Translations written for Command keyboards label these presets with the
    // Command glyph; the label must show the modifier the preset really sends.
    if (!modifiers.command && modifiers.control)
        entry.replace(QStringLiteral("⌘"), QStringLiteral("⌃"));
    return entry;
}
QString ShortcutPreset::localizedTitle() const
{
    return L10n::string(titleKey, titleFallback);
}

ActionType ShortcutPreset::action() const
{
    return ActionType::shortcut(key, keyCode, modifiers);
}

QString ShortcutPresetSection::localizedTitle() const
{
    return L10n::string(titleKey, titleFallback);
}

QString PromptTemplate::localizedLabel() const
{
    return L10n::string(labelKey, labelFallback);
}
QString PromptTemplate::localizedText() const
{
    return L10n::string(textKey, textFallback);
}
QString PromptTemplate::localizedTitle() const
{
    return L10n::string(titleKey, titleFallback);
}

QString QuickPath::localizedTitle() const
{
    return L10n::string(titleKey, titleFallback);
}

QString presetsMenuTitle()
{
    return L10n::string(QStringLiteral("slot.presets_menu"), QStringLiteral("常用预设..."));
}

QList<ShortcutPresetSection> shortcutSections()
{
    const KeyModifiers control = mods(true, false);
    const KeyModifiers controlShift = mods(true, true);

    ShortcutPresetSection browser;
    browser.titleKey = QStringLiteral("slot.presets_browser");
    browser.titleFallback = QStringLiteral("浏览器 / 标签切换");
    browser.presets = {
        preset("slot.preset.next_tab", "切换到下一个标签 (⌃Tab)", "Tab", 48, control,
               "slot.preset.next_tab_short", "下一个标签", "arrow.right.to.line"),
        preset("slot.preset.prev_tab", "切换到上一个标签 (⌃⇧Tab)", "Tab", 48, controlShift,
               "slot.preset.prev_tab_short", "上一个标签", "arrow.left.to.line"),
        preset("slot.preset.new_tab", "新建标签页 (⌃T)", "T", 17, control, "slot.preset.new_tab_short",
               "新建标签", "plus.square"),
        preset("slot.preset.close_tab", "关闭当前标签 (⌃W)", "W", 13, control, "slot.preset.close_tab_short",
               "关闭标签", "xmark.square"),
        preset("slot.preset.refresh", "刷新网页 (⌃R)", "R", 15, control, "slot.preset.refresh_short", "刷新",
               "arrow.clockwise"),
    };

    ShortcutPresetSection editing;
    editing.titleKey = QStringLiteral("slot.presets_editing");
    editing.titleFallback = QStringLiteral("基础编辑");
    editing.presets = {
        preset("slot.preset.copy", "复制 (⌃C)", "C", 8, control, "slot.preset.copy_short", "复制",
               "doc.on.doc.fill"),
        preset("slot.preset.paste", "粘贴 (⌃V)", "V", 9, control, "slot.preset.paste_short", "粘贴",
               "doc.on.clipboard.fill"),
        preset("slot.preset.cut", "剪切 (⌃X)", "X", 7, control, "slot.preset.cut_short", "剪切", "scissors"),
        preset("slot.preset.undo", "撤销 (⌃Z)", "Z", 6, control, "slot.preset.undo_short", "撤销",
               "arrow.uturn.backward"),
        preset("slot.preset.save", "保存 (⌃S)", "S", 1, control, "slot.preset.save_short", "保存",
               "square.and.arrow.down.fill"),
    };

    return {browser, editing};
}

QList<ShortcutPreset> allShortcutPresets()
{
    QList<ShortcutPreset> all;
    for (const ShortcutPresetSection& section : shortcutSections())
        all += section.presets;
    return all;
}

std::optional<ShortcutPreset> shortcutPreset(const QString& entryKey)
{
    for (const ShortcutPreset& p : allShortcutPresets()) {
        if (p.entryKey == entryKey)
            return p;
    }
    return std::nullopt;
}

QString promptTemplatesTitle()
{
    return L10n::string(QStringLiteral("slot.paste_text.presets_title"), QStringLiteral("快速填入模板："));
}

QList<PromptTemplate> promptTemplates()
{
    return {
        {QStringLiteral("slot.paste_text.preset_polish"), QStringLiteral("🤖 润色文案"),
         QStringLiteral("slot.paste_text.preset_polish_text"),
         QStringLiteral("请帮我润色并优化以下文案，使其更加专业、简练且流畅：\n\n"),
         QStringLiteral("slot.paste_text.preset_polish_title"), QStringLiteral("润色文案")},
        {QStringLiteral("slot.paste_text.preset_email"), QStringLiteral("✉️ 邮件结尾"),
         QStringLiteral("slot.paste_text.preset_email_text"),
         QStringLiteral("祝好！\n如有任何疑问，请随时与我联系。"),
         QStringLiteral("slot.paste_text.preset_email_title"), QStringLiteral("邮件结尾")},
        {QStringLiteral("slot.paste_text.preset_summary"), QStringLiteral("📝 总结要点"),
         QStringLiteral("slot.paste_text.preset_summary_text"),
         QStringLiteral("请对以下内容进行提炼总结，列出核心要点与关键结论：\n\n"),
         QStringLiteral("slot.paste_text.preset_summary_title"), QStringLiteral("总结要点")},
    };
}

QString quickPathsTitle()
{
    return L10n::string(QStringLiteral("slot.preset_paths"), QStringLiteral("常用路径快捷填入："));
}

QList<QuickPath> quickPaths()
{
    return {
        {QStringLiteral("path.downloads"), QStringLiteral("下载"), QStringLiteral("~/Downloads")},
        {QStringLiteral("path.documents"), QStringLiteral("文稿"), QStringLiteral("~/Documents")},
        {QStringLiteral("path.desktop"), QStringLiteral("桌面"), QStringLiteral("~/Desktop")},
        {QStringLiteral("path.home"), QStringLiteral("个人目录"), QStringLiteral("~")},
        // Installed applications live as desktop entries here.
        {QStringLiteral("path.applications"), QStringLiteral("应用程序"),
         QStringLiteral("/usr/share/applications")},
    };
}

QList<SystemControlAction> systemControls()
{
    return SystemControl::allCases();
}

bool isPlaceholderTitle(const QString& title)
{
    return ActionSlot::isPlaceholderTitle(title);
}

bool isPlaceholderIcon(const IconInfo& icon)
{
    return ActionSlot::isPlaceholderTitle(icon.displayName());
}

ActionSlot applyShortcutPreset(ActionSlot slot, const ShortcutPreset& preset)
{
    slot.title = preset.localizedTitle();
    slot.icon = IconInfo::sfSymbol(preset.iconSymbol);
    slot.action = preset.action();
    slot.isEnabled = true;
    return slot;
}

ActionSlot commitPasteText(ActionSlot slot, const QString& content)
{
    slot.action = ActionType::pasteText(content);
    if (isPlaceholderTitle(slot.title))
        slot.title = genericPasteTextTitle();
    if (isPlaceholderIcon(slot.icon))
        slot.icon = IconInfo::sfSymbol(QStringLiteral("text.bubble"));
    slot.isEnabled = true;
    return slot;
}

ActionSlot applyPromptTemplate(ActionSlot slot, const PromptTemplate& prompt)
{
    if (isPlaceholderTitle(slot.title) || slot.title == genericPasteTextTitle())
        slot.title = prompt.localizedTitle();
    return commitPasteText(std::move(slot), prompt.localizedText());
}

ActionSlot applyQuickPath(ActionSlot slot, const QuickPath& quickPath)
{
    slot.title = quickPath.localizedTitle();
    slot.icon = IconInfo::sfSymbol(QStringLiteral("folder"));
    slot.action = ActionType::openPath(quickPath.path);
    slot.isEnabled = true;
    return slot;
}

} // namespace EditorPresets
