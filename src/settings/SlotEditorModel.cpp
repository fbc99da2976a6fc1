#include "settings/SlotEditorModel.h"

#include "actions/ShortcutsManager.h"
#include "l10n/L10n.h"
#include "settings/KeyCodeHelper.h"

#include <QDir>

using EditorPresets::isPlaceholderIcon;
using EditorPresets::isPlaceholderTitle;

namespace {

void fillPlaceholders(ActionSlot& slot, const QString& title, const QString& symbol)
{
    if (isPlaceholderTitle(slot.title))
        slot.title = title;
    if (isPlaceholderIcon(slot.icon))
        slot.icon = IconInfo::sfSymbol(symbol);
}

} // namespace

SlotEditorModel::TabInfo SlotEditorModel::tabInfo(int tab)
{
    switch (tab) {
    case ShortcutTab:
        return {QStringLiteral("slot.type.shortcut"), QStringLiteral("快捷键"), QStringLiteral("command")};
    case RunShortcutTab:
        return {QStringLiteral("slot.type.run_shortcut"), QStringLiteral("快捷指令"),
                QStringLiteral("square.stack.3d.up.fill")};
    case PasteTextTab:
        return {QStringLiteral("slot.type.paste_text"), QStringLiteral("常用文本"), QStringLiteral("text.bubble")};
    case LaunchAppTab:
        return {QStringLiteral("slot.type.launch_app"), QStringLiteral("启动应用"),
                QStringLiteral("arrow.up.forward.app")};
    case OpenPathTab:
        return {QStringLiteral("slot.type.open_path"), QStringLiteral("打开文件夹"), QStringLiteral("folder")};
    case OpenUrlTab:
        return {QStringLiteral("slot.type.open_url"), QStringLiteral("打开网址"), QStringLiteral("safari")};
    case SystemControlTab:
        return {QStringLiteral("slot.type.system_ctrl"), QStringLiteral("系统控制"),
                QStringLiteral("slider.horizontal.3")};
    default:
        return {QStringLiteral("slot.type.none"), QStringLiteral("未分配"), QStringLiteral("xmark.circle")};
    }
}

QString SlotEditorModel::tabLabel(int tab)
{
    const TabInfo info = tabInfo(tab);
    return L10n::string(info.labelKey, info.labelFallback);
}

int SlotEditorModel::tabForAction(const ActionType& action)
{
    return std::visit(
        [](const auto& a) -> int {
            using T = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<T, ActionType::Shortcut>)
                return ShortcutTab;
            else if constexpr (std::is_same_v<T, ActionType::RunShortcut>)
                return RunShortcutTab;
            else if constexpr (std::is_same_v<T, ActionType::PasteText>)
                return PasteTextTab;
            else if constexpr (std::is_same_v<T, ActionType::LaunchApp>)
                return LaunchAppTab;
            else if constexpr (std::is_same_v<T, ActionType::OpenPath>)
                return OpenPathTab;
            else if constexpr (std::is_same_v<T, ActionType::OpenURL>)
                return OpenUrlTab;
            else if constexpr (std::is_same_v<T, ActionType::SystemControl>)
                return SystemControlTab;
            else
                return NoneTab;
        },
        action.value);
}

SlotEditorModel::SlotEditorModel(const ActionSlot& slot, CommitHandler onSave, ScriptList installedScripts,
                                 QString homePath)
    : m_slot(slot)
    , m_onSave(std::move(onSave))
    , m_installedScripts(std::move(installedScripts))
    , m_home(std::move(homePath))
    , m_lastSaved(slot)
{
    syncStateFromSlot();
}

QString SlotEditorModel::home() const
{
    return m_home.isEmpty() ? QDir::homePath() : m_home;
}

void SlotEditorModel::setSlot(const ActionSlot& slot)
{
    if (slot == m_slot)
        return;
    m_slot = slot;
    m_lastSaved = slot;
    syncStateFromSlot();
}

void SlotEditorModel::syncStateFromSlot()
{
    std::visit(
        [this](const auto& a) {
            using T = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<T, ActionType::Shortcut>) {
                m_tab = ShortcutTab;
                m_shortcutName.clear();
                m_shortcutKey = a.key;
                m_shortcutKeyCode = a.keyCode;
                m_modifiers = a.modifiers;
            } else if constexpr (std::is_same_v<T, ActionType::RunShortcut>) {
                m_tab = RunShortcutTab;
                m_shortcutName = a.shortcutName;
            } else if constexpr (std::is_same_v<T, ActionType::PasteText>) {
                m_tab = PasteTextTab;
                m_textContent = a.content;
            } else if constexpr (std::is_same_v<T, ActionType::LaunchApp>) {
                m_tab = LaunchAppTab;
                m_appBundleId = a.bundleId;
                m_appName = a.appName;
                m_appPath = a.path;
            } else if constexpr (std::is_same_v<T, ActionType::OpenPath>) {
                m_tab = OpenPathTab;
                m_path = a.path;
            } else if constexpr (std::is_same_v<T, ActionType::OpenURL>) {
                m_tab = OpenUrlTab;
                m_url = a.url;
            } else if constexpr (std::is_same_v<T, ActionType::SystemControl>) {
                m_tab = SystemControlTab;
                m_control = a.control;
            } else {
                m_tab = NoneTab;
            }
        },
        m_slot.action.value);
}

void SlotEditorModel::save()
{
    // An edit that leaves the slot as it was stores nothing and adds no undo step.
    if (m_slot == m_lastSaved)
        return;
    m_lastSaved = m_slot;
    if (m_onSave)
        m_onSave(m_slot);
}

void SlotEditorModel::selectTab(int tab)
{
    if (tab < 0 || tab >= tabCount)
        return;
    m_tab = tab;
    handleTabChange();
}

void SlotEditorModel::handleTabChange()
{
    const TabInfo info = tabInfo(m_tab);
    const QString typeTitle = L10n::string(info.labelKey, info.labelFallback);
    switch (m_tab) {
    case ShortcutTab:
        if (!m_shortcutKey.isEmpty() || m_shortcutKeyCode != 0) {
            commitShortcut();
            return;
        }
        m_slot.action = ActionType::shortcut({}, 0, KeyModifiers::none());
        fillPlaceholders(m_slot, typeTitle, info.symbol);
        break;
    case RunShortcutTab: {
        if (!m_shortcutName.isEmpty()) {
            // A name of blanks stores nothing; the slot stays as it was.
            commitShortcutName(m_shortcutName);
            return;
        }
        const QStringList installed = m_installedScripts ? m_installedScripts() : QStringList();
        if (!installed.isEmpty()) {
            m_shortcutName = installed.first();
            commitShortcutName(m_shortcutName);
            return;
        }
        m_slot.action = ActionType::runShortcut({});
        fillPlaceholders(m_slot, typeTitle, info.symbol);
        break;
    }
    case PasteTextTab:
        if (!m_textContent.isEmpty()) {
            commitPasteText();
            return;
        }
        m_slot.action = ActionType::pasteText({});
        fillPlaceholders(m_slot, typeTitle, info.symbol);
        break;
    case LaunchAppTab:
        if (!m_appBundleId.isEmpty()) {
            m_slot.action = ActionType::launchApp(m_appBundleId, m_appName, m_appPath);
        } else {
            m_slot.action = ActionType::launchApp({}, {}, {});
            fillPlaceholders(m_slot, typeTitle, info.symbol);
        }
        break;
    case OpenPathTab:
        if (!m_path.isEmpty()) {
            commitOpenPath();
            return;
        }
        m_slot.action = ActionType::openPath({});
        fillPlaceholders(m_slot, typeTitle, info.symbol);
        break;
    case OpenUrlTab:
        if (!m_url.isEmpty()) {
            commitOpenURL();
            return;
        }
        m_slot.action = ActionType::openURL({});
        fillPlaceholders(m_slot, typeTitle, info.symbol);
        break;
    case SystemControlTab:
        chooseSystemControl(m_control);
        return;
    default:
        m_slot.action = ActionType::none();
        m_slot.title.clear();
        m_slot.icon = IconInfo::sfSymbol({});
        m_slot.isEnabled = false;
        save();
        return;
    }
    m_slot.isEnabled = true;
    save();
}

void SlotEditorModel::setTitle(const QString& title)
{
    m_slot.title = title;
    save();
}

void SlotEditorModel::commitShortcut()
{
    const quint16 code = KeyCodeHelper::keyCode(m_shortcutKey).value_or(m_shortcutKeyCode);
    m_slot.action = ActionType::shortcut(m_shortcutKey, code, m_modifiers);
    if (isPlaceholderTitle(m_slot.title))
        m_slot.title = m_modifiers.displayString() + m_shortcutKey;
    m_slot.isEnabled = true;
    save();
}

void SlotEditorModel::recordShortcut(quint16 keyCode, const KeyModifiers& modifiers)
{
    m_shortcutKey = KeyCodeHelper::keyName(keyCode);
    m_shortcutKeyCode = keyCode;
    m_modifiers = modifiers;
    // The recorded code is kept as pressed; it is never derived again from the key text.
    m_slot.action = ActionType::shortcut(m_shortcutKey, keyCode, modifiers);
    // A title an earlier recording made follows the new shortcut, and so does
    // the generic one the type switch filled in; the user's own stays.
    if (isPlaceholderTitle(m_slot.title) || m_slot.title.contains(QStringLiteral("⌃")) ||
        m_slot.title.contains(QStringLiteral("⌘")) || m_slot.title == tabLabel(ShortcutTab))
        m_slot.title = modifiers.displayString() + m_shortcutKey;
    if (isPlaceholderIcon(m_slot.icon))
        m_slot.icon = IconInfo::sfSymbol(QStringLiteral("keyboard"));
    m_slot.isEnabled = true;
    m_tab = ShortcutTab;
    save();
    m_isRecording = false;
}

void SlotEditorModel::applyShortcutPreset(const EditorPresets::ShortcutPreset& preset)
{
    m_shortcutKey = preset.key;
    m_shortcutKeyCode = preset.keyCode;
    m_modifiers = preset.modifiers;
    m_slot = EditorPresets::applyShortcutPreset(m_slot, preset);
    save();
}

void SlotEditorModel::clearShortcut()
{
    m_slot.action = ActionType::none();
    m_slot.title.clear();
    m_slot.icon = IconInfo::sfSymbol({});
    m_slot.isEnabled = false;
    m_tab = NoneTab;
    save();
}

void SlotEditorModel::commitShortcutName(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return;
    m_slot.action = ActionType::runShortcut(trimmed);
    m_slot.title = trimmed;
    m_slot.icon = IconInfo::sfSymbol(ShortcutsManager::suggestedSymbol(trimmed));
    m_slot.isEnabled = true;
    save();
}

void SlotEditorModel::editTextContent(const QString& text)
{
    m_textContent = text;
    commitPasteText();
}

void SlotEditorModel::commitPasteText()
{
    m_slot = EditorPresets::commitPasteText(m_slot, m_textContent);
    save();
}

void SlotEditorModel::applyPromptTemplate(const QString& text, const QString& title)
{
    m_textContent = text;
    if (isPlaceholderTitle(m_slot.title) ||
        m_slot.title == L10n::string(QStringLiteral("slot.type.paste_text"), QStringLiteral("常用文本")))
        m_slot.title = title;
    commitPasteText();
}

void SlotEditorModel::chooseApplication(const QString& bundleId, const QString& name, const QString& path)
{
    m_appName = name;
    m_appBundleId = bundleId;
    m_appPath = path;
    m_slot.title = name;
    m_slot.icon = IconInfo::app(bundleId, name, path);
    m_slot.action = ActionType::launchApp(bundleId, name, path);
    m_slot.isEnabled = true;
    save();
}

void SlotEditorModel::editPath(const QString& path)
{
    m_path = path;
    commitOpenPath();
}

QString SlotEditorModel::pathTitle(const QString& trimmedPath) const
{
    if (trimmedPath.isEmpty())
        return L10n::string(QStringLiteral("slot.type.open_path"), QStringLiteral("打开文件夹"));
    const QString last = lastPathComponent(expandTilde(trimmedPath, home()));
    return last.isEmpty() ? trimmedPath : last;
}

void SlotEditorModel::commitOpenPath()
{
    const QString p = m_path.trimmed();
    const QString typeTitle = L10n::string(QStringLiteral("slot.type.open_path"), QStringLiteral("打开文件夹"));
    // A title the previous path made also follows: typing "~/Music" letter by
    // letter must not leave the title at the "~" of the first keystroke.
    const auto* previous = std::get_if<ActionType::OpenPath>(&m_slot.action.value);
    const bool automatic = previous && m_slot.title == pathTitle(previous->path);
    m_slot.action = ActionType::openPath(p);
    if (isPlaceholderTitle(m_slot.title) || m_slot.title == typeTitle || automatic)
        m_slot.title = pathTitle(p);
    if (isPlaceholderIcon(m_slot.icon))
        m_slot.icon = IconInfo::sfSymbol(QStringLiteral("folder"));
    m_slot.isEnabled = !p.isEmpty();
    save();
}

void SlotEditorModel::applyQuickPath(const QString& path, const QString& title)
{
    m_path = path;
    m_slot.title = title;
    m_slot.icon = IconInfo::sfSymbol(QStringLiteral("folder"));
    m_slot.action = ActionType::openPath(path);
    m_slot.isEnabled = true;
    save();
}

void SlotEditorModel::chooseFolder(const QString& absolutePath)
{
    const QString stored = storedPath(absolutePath, home());
    m_path = stored;
    const QString last = lastPathComponent(absolutePath);
    m_slot.title = last.isEmpty() ? stored : last;
    m_slot.icon = IconInfo::sfSymbol(QStringLiteral("folder"));
    m_slot.action = ActionType::openPath(stored);
    m_slot.isEnabled = true;
    save();
}

void SlotEditorModel::editURL(const QString& url)
{
    m_url = url;
    commitOpenURL();
}

void SlotEditorModel::commitOpenURL()
{
    // Stored exactly as typed: making an address of it is the executor's business.
    m_slot.action = ActionType::openURL(m_url);
    fillPlaceholders(m_slot, L10n::string(QStringLiteral("slot.type.open_url"), QStringLiteral("打开网址")),
                     QStringLiteral("globe"));
    m_slot.isEnabled = true;
    save();
}

void SlotEditorModel::chooseSystemControl(SystemControlAction control)
{
    m_control = control;
    m_slot.title = SystemControl::localizedName(control);
    m_slot.icon = IconInfo::sfSymbol(SystemControl::defaultSymbol(control));
    m_slot.action = ActionType::systemControl(control);
    m_slot.isEnabled = true;
    save();
}

QString SlotEditorModel::expandTilde(const QString& path, const QString& home)
{
    if (path == QLatin1String("~"))
        return home;
    if (path.startsWith(QLatin1String("~/")))
        return home + path.mid(1);
    return path;
}

QString SlotEditorModel::storedPath(const QString& absolutePath, const QString& home)
{
    if (absolutePath == home)
        return QStringLiteral("~");
    const QString prefix = home.endsWith(QLatin1Char('/')) ? home : home + QLatin1Char('/');
    // The root as home would make every path "~/..."; only a real home folder is shortened.
    if (home != QLatin1String("/") && absolutePath.startsWith(prefix))
        return QStringLiteral("~/") + absolutePath.mid(prefix.size());
    return absolutePath;
}

QString SlotEditorModel::lastPathComponent(const QString& path)
{
    if (path.isEmpty())
        return {};
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    if (end == 0)
        return QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), end - 1);
    return path.mid(slash + 1, end - slash - 1);
}
