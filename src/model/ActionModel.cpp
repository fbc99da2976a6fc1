#include "model/ActionModel.h"

#include "l10n/L10n.h"
#include "model/KeyComboText.h"

#include <array>
#include <QTextBoundaryFinder>

namespace {

QString tr(const char* key, const QString& fallback)
{
    return L10n::string(QString::fromUtf8(key), fallback);
}

template<class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template<class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

struct SystemControlInfo
{
    SystemControlAction action;
    const char* raw;
    const char* symbol;
    const char* fallback;
};

const std::array<SystemControlInfo, 13>& systemControlTable()
{
    static const std::array<SystemControlInfo, 13> table{{
        {SystemControlAction::missionControl, "mission_control", "square.2.layers.3d.top.filled", "调度中心"},
        {SystemControlAction::showDesktop, "show_desktop", "desktopcomputer", "显示桌面"},
        {SystemControlAction::volumeUp, "volume_up", "speaker.wave.3.fill", "增加音量"},
        {SystemControlAction::volumeDown, "volume_down", "speaker.wave.1.fill", "减小音量"},
        {SystemControlAction::mute, "mute", "speaker.slash.fill", "静音 / 取消静音"},
        {SystemControlAction::brightnessUp, "brightness_up", "sun.max.fill", "提高亮度"},
        {SystemControlAction::brightnessDown, "brightness_down", "sun.min.fill", "降低亮度"},
        {SystemControlAction::lockScreen, "lock_screen", "lock.fill", "锁定屏幕"},
        {SystemControlAction::screenshotArea, "screenshot_area", "rectangle.dashed.badge.record", "区域截图"},
        {SystemControlAction::screenshotScreen, "screenshot_screen", "camera.viewfinder", "全屏截图"},
        {SystemControlAction::mediaPlayPause, "media_play_pause", "playpause.fill", "播放 / 暂停"},
        {SystemControlAction::spotlight, "spotlight", "magnifyingglass", "聚焦搜索"},
        {SystemControlAction::openFinder, "open_finder", "folder.fill", "访达"},
    }};
    return table;
}

const SystemControlInfo& infoFor(SystemControlAction a)
{
    const auto& table = systemControlTable();
    const auto i = static_cast<size_t>(a);
    return i < table.size() ? table[i] : table[0];
}

struct DirectionInfo
{
    const char* key;
    const char* fallback;
    const char* shortFallback;
};

const std::array<DirectionInfo, 8> kDirections{{
    {"slot.direction.north", "正上方 (12点方向)", "正上"},
    {"slot.direction.northEast", "右上 (1点半方向)", "右上"},
    {"slot.direction.east", "正右方 (3点方向)", "正右"},
    {"slot.direction.southEast", "右下 (4点半方向)", "右下"},
    {"slot.direction.south", "正下方 (6点方向)", "正下"},
    {"slot.direction.southWest", "左下 (7点半方向)", "左下"},
    {"slot.direction.west", "正左方 (9点方向)", "正左"},
    {"slot.direction.northWest", "左上 (10点半方向)", "左上"},
}};

// Titles the editor fills in for system controls, in all interface languages.
const QStringList& automaticSystemTitles()
{
    static const QStringList titles = {
        QStringLiteral("区域截图"),
        QStringLiteral("Capture Selected Area"),
        QStringLiteral("選択範囲をスクリーンショット"),
        QStringLiteral("全屏截图"),
        QStringLiteral("Capture Full Screen"),
        QStringLiteral("画面全体をスクリーンショット"),
        QStringLiteral("调度中心"),
        QStringLiteral("Mission Control"),
        QStringLiteral("显示桌面"),
        QStringLiteral("Show Desktop"),
        QStringLiteral("デスクトップを表示"),
        QStringLiteral("锁定屏幕"),
        QStringLiteral("Lock Screen"),
        QStringLiteral("画面をロック"),
        QStringLiteral("聚焦搜索"),
        QStringLiteral("Spotlight Search"),
        QStringLiteral("Spotlight 検索"),
        QStringLiteral("增加音量"),
        QStringLiteral("Volume Up"),
        QStringLiteral("音量を上げる"),
        QStringLiteral("减小音量"),
        QStringLiteral("Volume Down"),
        QStringLiteral("音量を下げる"),
        QStringLiteral("静音 / 取消静音"),
        QStringLiteral("Mute / Unmute"),
        QStringLiteral("消音 / 消音解除"),
        QStringLiteral("提高亮度"),
        QStringLiteral("Brightness Up"),
        QStringLiteral("画面を明るく"),
        QStringLiteral("降低亮度"),
        QStringLiteral("Brightness Down"),
        QStringLiteral("画面を暗く"),
        QStringLiteral("播放 / 暂停"),
        QStringLiteral("Play / Pause"),
        QStringLiteral("再生 / 一時停止"),
        QStringLiteral("访达"),
        QStringLiteral("Finder"),
        QStringLiteral("打开文件夹"),
        QStringLiteral("フォルダを開く"),
        QStringLiteral("访达 (打开文件夹)"),
        // The Linux names of the overview, launcher and file-manager controls,
        // so titles filled in on this desktop follow the interface language too.
        QStringLiteral("窗口概览"),
        QStringLiteral("Overview"),
        QStringLiteral("アクティビティ概要"),
        QStringLiteral("启动器搜索"),
        QStringLiteral("Launcher Search"),
        QStringLiteral("ランチャー検索"),
        QStringLiteral("File Manager"),
        // The short names that fit a sector, which later releases fill in.
        QStringLiteral("Desktop"),
        QStringLiteral("デスク表示"),
        QStringLiteral("一覧表示"),
        QStringLiteral("Louder"),
        QStringLiteral("音量アップ"),
        QStringLiteral("Quieter"),
        QStringLiteral("音量ダウン"),
        QStringLiteral("Mute"),
        QStringLiteral("ミュート"),
        QStringLiteral("Brighter"),
        QStringLiteral("明るく"),
        QStringLiteral("Dimmer"),
        QStringLiteral("暗く"),
        QStringLiteral("Lock"),
        QStringLiteral("ロック"),
        QStringLiteral("Snip"),
        QStringLiteral("範囲を撮影"),
        QStringLiteral("Full Shot"),
        QStringLiteral("全画面撮影"),
        QStringLiteral("Play"),
        QStringLiteral("再生/停止"),
        QStringLiteral("Search"),
        QStringLiteral("アプリ検索"),
        QStringLiteral("Files"),
        QStringLiteral("ファイル"),
    };
    return titles;
}

struct PresetText
{
    const char* key;
    const char* fallback;
};

struct BundlePreset
{
    const char* bundleId;
    PresetText text;
};

const std::array<BundlePreset, 7> kBundlePresets{{
    {"com.apple.finder", {"action.sys.open_finder", "Finder"}},
    {"com.apple.Notes", {"app.notes", "Notes"}},
    {"com.apple.systempreferences", {"app.system_settings", "System Settings"}},
    {"com.apple.calculator", {"app.calculator", "Calculator"}},
    {"com.apple.Music", {"app.music", "Music"}},
    {"com.apple.TextEdit", {"app.textedit", "TextEdit"}},
    {"com.apple.screenshot.launcher", {"app.screenshot", "Screenshot"}},
}};

struct TitlePreset
{
    QStringList titles;
    PresetText text;
};

const QList<TitlePreset>& titlePresets()
{
    static const QList<TitlePreset> table = [] {
        auto row = [](std::initializer_list<const char*> titles, const char* key, const char* fallback) {
            TitlePreset p;
            for (const char* t : titles)
                p.titles.append(QString::fromUtf8(t));
            p.text = {key, fallback};
            return p;
        };
        return QList<TitlePreset>{
            row({"访达", "Finder", "ファインダー", "打开文件夹", "フォルダを開く", "访达 (打开文件夹)"},
                "action.sys.open_finder", "Finder"),
            row({"复制", "Copy", "コピー"}, "slot.preset.copy_short", "复制"),
            row({"粘贴", "Paste", "ペースト"}, "slot.preset.paste_short", "粘贴"),
            row({"剪切", "Cut", "カット"}, "slot.preset.cut_short", "剪切"),
            row({"撤销", "Undo", "取り消し"}, "slot.preset.undo_short", "撤销"),
            row({"重做", "Redo", "やり直し"}, "slot.preset.redo_short", "重做"),
            row({"保存", "Save"}, "slot.preset.save_short", "保存"),
            row({"全选", "Select All", "すべてを選択"}, "slot.preset.select_all_short", "全选"),
            row({"查找", "Find", "検索"}, "slot.preset.find_short", "查找"),
            row({"新建", "New", "新規作成"}, "slot.preset.new_short", "新建"),
            row({"下一个标签", "Next Tab", "次のタブへ", "次のタブ"}, "slot.preset.next_tab_short",
                "下一个标签"),
            row({"上一个标签", "Previous Tab", "前のタブへ", "前のタブ"}, "slot.preset.prev_tab_short",
                "上一个标签"),
            row({"新建标签", "New Tab", "新規タブ"}, "slot.preset.new_tab_short", "新建标签"),
            row({"关闭标签", "Close Tab", "タブを閉じる"}, "slot.preset.close_tab_short", "关闭标签"),
            row({"刷新", "Refresh", "再読み込み"}, "slot.preset.refresh_short", "刷新"),
            row({"导出PDF", "Export PDF", "PDF書き出し", "PDFとして書き出し"}, "slot.preset.export_pdf_short",
                "导出PDF"),
            row({"总结要点", "Summarize", "要点まとめ", "要約", "📝 总结要点", "📝 要点まとめ", "📝 Summarize"},
                "slot.paste_text.preset_summary_title", "总结要点"),
            row({"润色文案", "Polish", "文章推敲", "✨ 润色文案"}, "slot.paste_text.preset_polish_title",
                "润色文案"),
            row({"翻译文本", "Translate", "翻訳", "🌐 翻译文本"}, "slot.paste_text.preset_translate_title",
                "翻译文本"),
            row({"代码解释", "Explain Code", "コード解説", "💻 代码解释"}, "slot.paste_text.preset_code_title",
                "代码解释"),
            row({"常用文本", "Quick Text", "定型文", "Snippet"}, "slot.type.paste_text", "常用文本"),
            // The built-in ring's script sector and the editor's default script titles.
            row({"快捷指令", "Run Script", "スクリプト実行", "Script", "スクリプト"}, "slot.preset.script_short",
                "快捷指令"),
            row({"快捷键", "Shortcut", "ショートカット"}, "slot.type.shortcut", "快捷键"),
            row({"启动应用", "Launch App", "アプリ起動"}, "slot.type.launch_app", "启动应用"),
            row({"打开网址", "Open URL", "URLを開く"}, "slot.type.open_url", "打开网址"),
            row({"系统功能", "System Control", "システム操作"}, "slot.type.system_control", "系统功能"),
            row({"备忘录", "Notes", "メモ"}, "app.notes", "Notes"),
            row({"系统设置", "System Settings", "システム設定"}, "app.system_settings", "System Settings"),
            row({"计算器", "Calculator", "計算機"}, "app.calculator", "Calculator"),
            row({"音乐", "Music", "ミュージック"}, "app.music", "Music"),
            row({"文本编辑", "TextEdit", "テキストエディット"}, "app.textedit", "TextEdit"),
            row({"截屏", "Screenshot", "スクリーンショット"}, "app.screenshot", "Screenshot"),
        };
    }();
    return table;
}

QString lookUp(const PresetText& text)
{
    return tr(text.key, QString::fromUtf8(text.fallback));
}

const QString kUnassignedTitle = QStringLiteral("未分配");

// Last component as a path string shows it: trailing separators do not count,
// and the root stays "/".
QString lastPathComponent(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    if (p == QLatin1String("/"))
        return p;
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? p : p.mid(slash + 1);
}

// The text cut to `count` user-perceived characters; nothing when it is not longer.
std::optional<QString> truncatedGraphemes(const QString& text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int seen = 0;
    qsizetype cut = -1;
    while (finder.toNextBoundary() != -1) {
        ++seen;
        if (seen == count)
            cut = finder.position();
        if (seen > count)
            return text.left(cut);
    }
    return std::nullopt;
}

} // namespace

// IconInfo

IconInfo IconInfo::sfSymbol(const QString& name)
{
    return IconInfo{SfSymbol{name}};
}

IconInfo IconInfo::app(const QString& bundleId, const QString& name, const QString& path)
{
    return IconInfo{App{bundleId, name, path}};
}

IconInfo IconInfo::customImage(const QString& name)
{
    return IconInfo{CustomImage{name}};
}

QString IconInfo::displayName() const
{
    return std::visit([](const auto& v) -> QString { return v.name; }, value);
}

bool IconInfo::isApp() const
{
    return std::holds_alternative<App>(value);
}

std::optional<QString> IconInfo::sfSymbolName() const
{
    if (const auto* s = std::get_if<SfSymbol>(&value))
        return s->name;
    return std::nullopt;
}

std::optional<QString> IconInfo::appPath() const
{
    if (const auto* a = std::get_if<App>(&value))
        return a->path;
    return std::nullopt;
}

// RadialSectorPosition

int RadialSector::rawValue(RadialSectorPosition p)
{
    return static_cast<int>(p);
}

std::optional<RadialSectorPosition> RadialSector::fromRawValue(qint64 raw)
{
    if (raw < 0 || raw > 7)
        return std::nullopt;
    return static_cast<RadialSectorPosition>(raw);
}

double RadialSector::midAngleDegrees(RadialSectorPosition p)
{
    return rawValue(p) * 45.0;
}

QString RadialSector::localizedDirectionName(RadialSectorPosition p)
{
    const DirectionInfo& d = kDirections[size_t(rawValue(p)) % kDirections.size()];
    return tr(d.key, QString::fromUtf8(d.fallback));
}

QString RadialSector::directionName(RadialSectorPosition p)
{
    return localizedDirectionName(p);
}

QString RadialSector::localizedShortDirectionName(RadialSectorPosition p)
{
    const DirectionInfo& d = kDirections[size_t(rawValue(p)) % kDirections.size()];
    return L10n::string(QString::fromUtf8(d.key) + QStringLiteral(".short"),
                        QString::fromUtf8(d.shortFallback));
}

QList<RadialSectorPosition> RadialSector::allCases()
{
    QList<RadialSectorPosition> all;
    for (int i = 0; i < 8; ++i)
        all.append(static_cast<RadialSectorPosition>(i));
    return all;
}

// KeyModifiers

QString KeyModifiers::displayString() const
{
    QString s;
    if (control)
        s += QStringLiteral("⌃");
    if (option)
        s += QStringLiteral("⌥");
    if (shift)
        s += QStringLiteral("⇧");
    if (command)
        s += QStringLiteral("⌘");
    return s;
}

quint64 KeyModifiers::nsEventFlags() const
{
    quint64 flags = 0;
    if (shift)
        flags |= shiftFlag;
    if (control)
        flags |= controlFlag;
    if (option)
        flags |= optionFlag;
    if (command)
        flags |= commandFlag;
    return flags;
}

KeyModifiers KeyModifiers::fromNsEventFlags(quint64 flags)
{
    KeyModifiers m;
    m.command = flags & commandFlag;
    m.option = flags & optionFlag;
    m.control = flags & controlFlag;
    m.shift = flags & shiftFlag;
    return m;
}

// SystemControlAction

QString SystemControl::rawValue(SystemControlAction a)
{
    return QString::fromLatin1(infoFor(a).raw);
}

std::optional<SystemControlAction> SystemControl::fromRawValue(const QString& raw)
{
    for (const auto& info : systemControlTable()) {
        if (raw == QLatin1String(info.raw))
            return info.action;
    }
    return std::nullopt;
}

QString SystemControl::defaultSymbol(SystemControlAction a)
{
    return QString::fromLatin1(infoFor(a).symbol);
}

QString SystemControl::localizedName(SystemControlAction a)
{
    const auto& info = infoFor(a);
    return L10n::string(QStringLiteral("action.sys.") + QString::fromLatin1(info.raw),
                        QString::fromUtf8(info.fallback));
}

bool SystemControl::isVolumeControl(SystemControlAction a)
{
    return a == SystemControlAction::volumeUp || a == SystemControlAction::volumeDown ||
           a == SystemControlAction::mute;
}

QList<SystemControlAction> SystemControl::allCases()
{
    QList<SystemControlAction> all;
    for (const auto& info : systemControlTable())
        all.append(info.action);
    return all;
}

// ActionType

ActionType ActionType::shortcut(const QString& key, quint16 keyCode, const KeyModifiers& modifiers)
{
    return ActionType{Shortcut{key, keyCode, modifiers}};
}

ActionType ActionType::runShortcut(const QString& shortcutName)
{
    return ActionType{RunShortcut{shortcutName}};
}

ActionType ActionType::pasteText(const QString& content)
{
    return ActionType{PasteText{content}};
}

ActionType ActionType::launchApp(const QString& bundleId, const QString& appName, const QString& path)
{
    return ActionType{LaunchApp{bundleId, appName, path}};
}

ActionType ActionType::openURL(const QString& url)
{
    return ActionType{OpenURL{url}};
}

ActionType ActionType::openPath(const QString& path)
{
    return ActionType{OpenPath{path}};
}

ActionType ActionType::systemControl(SystemControlAction control)
{
    return ActionType{SystemControl{control}};
}

std::optional<SystemControlAction> ActionType::systemControlAction() const
{
    if (const auto* s = std::get_if<SystemControl>(&value))
        return s->control;
    return std::nullopt;
}

bool ActionType::isVolumeAction() const
{
    const auto control = systemControlAction();
    return control && ::SystemControl::isVolumeControl(*control);
}

QString ActionType::localizedSummary() const
{
    return std::visit(
        Overloaded{
            [](const Shortcut& s) -> QString { return KeyComboText::display(s.keyCode, s.modifiers); },
            [](const RunShortcut& r) -> QString {
                const QString name = r.shortcutName.trimmed();
                return name.isEmpty() ? tr("action.run_shortcut_empty", QStringLiteral("快捷指令")) : name;
            },
            [](const PasteText& p) -> QString {
                const QString content = p.content.trimmed();
                if (content.isEmpty())
                    return tr("action.paste_text_empty", QStringLiteral("常用文本"));
                if (const auto head = truncatedGraphemes(content, 15))
                    return *head + QStringLiteral("...");
                return content;
            },
            [](const LaunchApp& l) -> QString {
                return L10n::format(QStringLiteral("action.launch_app"), std::nullopt, {l.appName});
            },
            [](const OpenURL& o) -> QString {
                return L10n::format(QStringLiteral("action.open_url"), std::nullopt, {o.url});
            },
            [](const OpenPath& o) -> QString {
                const QString last = lastPathComponent(o.path.trimmed());
                return last.isEmpty() ? tr("action.open_path_empty", QStringLiteral("打开文件夹")) : last;
            },
            [](const SystemControl& s) -> QString { return ::SystemControl::localizedName(s.control); },
            [](const None&) -> QString { return tr("slot.unassigned", QStringLiteral("未分配")); },
        },
        value);
}

QString ActionType::localizedCategoryName() const
{
    return std::visit(
        Overloaded{
            [](const Shortcut&) -> QString { return tr("slot.type.shortcut", QStringLiteral("快捷键")); },
            [](const RunShortcut&) -> QString {
                return tr("slot.type.run_shortcut", QStringLiteral("快捷指令"));
            },
            [](const PasteText&) -> QString {
                return tr("slot.type.paste_text", QStringLiteral("常用文本"));
            },
            [](const LaunchApp&) -> QString {
                return tr("slot.type.launch_app", QStringLiteral("启动应用"));
            },
            [](const OpenURL&) -> QString { return tr("slot.type.open_url", QStringLiteral("打开网址")); },
            [](const OpenPath&) -> QString {
                return tr("slot.type.open_path", QStringLiteral("打开文件夹"));
            },
            [](const SystemControl&) -> QString {
                return tr("slot.type.system_ctrl", QStringLiteral("系统控制"));
            },
            [](const None&) -> QString { return tr("slot.type.none", QStringLiteral("无动作")); },
        },
        value);
}

// ActionSlot

ActionSlot ActionSlot::empty(qint64 index)
{
    ActionSlot slot;
    slot.id = QUuid::createUuid();
    slot.index = index;
    slot.icon = IconInfo::sfSymbol(QString());
    slot.action = ActionType::none();
    slot.isEnabled = false;
    return slot;
}

RadialSectorPosition ActionSlot::position() const
{
    const qint64 remainder = index % 8;
    return remainder < 0 ? RadialSectorPosition::north : static_cast<RadialSectorPosition>(remainder);
}

bool ActionSlot::isPlaceholderTitle(const QString& title)
{
    return title.isEmpty() || title == kUnassignedTitle;
}

bool ActionSlot::isAutomaticSystemTitle(const QString& title)
{
    return automaticSystemTitles().contains(title);
}

std::optional<QString> ActionSlot::presetName(const QString& title, const ActionType& action)
{
    if (const auto* launch = std::get_if<ActionType::LaunchApp>(&action.value)) {
        for (const auto& preset : kBundlePresets) {
            if (launch->bundleId == QLatin1String(preset.bundleId))
                return lookUp(preset.text);
        }
    }
    for (const auto& preset : titlePresets()) {
        if (preset.titles.contains(title))
            return lookUp(preset.text);
    }
    return std::nullopt;
}

QString ActionSlot::displayTitle() const
{
    if (const auto control = action.systemControlAction()) {
        if (title.isEmpty() || isAutomaticSystemTitle(title))
            return ::SystemControl::localizedName(*control);
    }
    // A title the editor made from the shortcut itself reads the desktop's way;
    // one the user typed stays as typed.
    if (const auto* shortcut = std::get_if<ActionType::Shortcut>(&action.value)) {
        if (!title.isEmpty() && title == shortcut->modifiers.displayString() + shortcut->key)
            return KeyComboText::display(shortcut->keyCode, shortcut->modifiers);
    }
    if (const auto preset = presetName(title, action))
        return *preset;
    if (!isPlaceholderTitle(title))
        return title;
    return tr("hud.unassigned", kUnassignedTitle);
}

bool ActionSlot::isEmpty() const
{
    return action.isNone() || isPlaceholderTitle(title) || !isEnabled;
}

bool ActionSlot::isVolumeAction() const
{
    return isEnabled && action.isVolumeAction();
}

// Hashes

size_t qHash(const IconInfo& icon, size_t seed) noexcept
{
    return std::visit(
        Overloaded{
            [seed](const IconInfo::SfSymbol& s) { return qHashMulti(seed, 0, s.name); },
            [seed](const IconInfo::App& a) { return qHashMulti(seed, 1, a.bundleId, a.name, a.path); },
            [seed](const IconInfo::CustomImage& c) { return qHashMulti(seed, 2, c.name); },
        },
        icon.value);
}

size_t qHash(const KeyModifiers& m, size_t seed) noexcept
{
    return qHashMulti(seed, m.command, m.option, m.control, m.shift);
}

size_t qHash(const ActionType& action, size_t seed) noexcept
{
    using A = ActionType;
    const size_t kind = action.value.index();
    return std::visit(
        Overloaded{
            [&](const A::Shortcut& s) { return qHashMulti(seed, kind, s.key, s.keyCode, s.modifiers); },
            [&](const A::RunShortcut& r) { return qHashMulti(seed, kind, r.shortcutName); },
            [&](const A::PasteText& p) { return qHashMulti(seed, kind, p.content); },
            [&](const A::LaunchApp& l) { return qHashMulti(seed, kind, l.bundleId, l.appName, l.path); },
            [&](const A::OpenURL& o) { return qHashMulti(seed, kind, o.url); },
            [&](const A::OpenPath& o) { return qHashMulti(seed, kind, o.path); },
            [&](const A::SystemControl& c) { return qHashMulti(seed, kind, int(c.control)); },
            [&](const A::None&) { return qHashMulti(seed, kind); },
        },
        action.value);
}

size_t qHash(const ActionSlot& slot, size_t seed) noexcept
{
    return qHashMulti(seed, slot.id, slot.index, slot.title, slot.icon, slot.action, slot.isEnabled);
}
