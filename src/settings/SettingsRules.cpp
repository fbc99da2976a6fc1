#include "settings/SettingsRules.h"

#include "common/MessageText.h"
#include "l10n/L10n.h"

#include <QFileInfo>

namespace SettingsRules {

QList<SettingsTab> allTabs()
{
    return {SettingsTab::profiles, SettingsTab::general, SettingsTab::market};
}

QString rawValue(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::profiles:
        return QStringLiteral("profiles");
    case SettingsTab::general:
        return QStringLiteral("general");
    case SettingsTab::market:
        return QStringLiteral("market");
    }
    return {};
}

QString title(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::profiles:
        return L10n::string(QStringLiteral("tab.profiles"), QStringLiteral("轮盘方案配置"));
    case SettingsTab::general:
        return L10n::string(QStringLiteral("tab.general"), QStringLiteral("通用设置与全局快捷键"));
    case SettingsTab::market:
        return L10n::string(QStringLiteral("tab.market"), QStringLiteral("插件市场"));
    }
    return {};
}

QString symbol(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::profiles:
        return QStringLiteral("circle.dashed.inset.filled");
    case SettingsTab::general:
        return QStringLiteral("gearshape.fill");
    case SettingsTab::market:
        return QStringLiteral("square.grid.2x2.fill");
    }
    return {};
}

bool hasSelectedProfile(const QList<RingProfile>& profiles, const std::optional<QUuid>& selectedId)
{
    if (!selectedId)
        return false;
    return std::any_of(profiles.begin(), profiles.end(),
                       [&](const RingProfile& p) { return p.id == *selectedId; });
}

RingProfile currentProfile(const QList<RingProfile>& profiles, const std::optional<QUuid>& selectedId)
{
    if (selectedId) {
        for (const RingProfile& p : profiles) {
            if (p.id == *selectedId)
                return p;
        }
    }
    return PresetProfiles::globalDefault();
}

ActionSlot currentSlot(const RingProfile& profile, int slotIndex)
{
    if (const std::optional<ActionSlot> slot = profile.slotAt(slotIndex))
        return *slot;
    return ActionSlot::empty(slotIndex);
}

std::optional<ActionSlot> slotWithPickedIcon(const RingProfile& profile, int slotIndex, const IconInfo& icon)
{
    std::optional<ActionSlot> slot = profile.slotAt(slotIndex);
    if (!slot)
        return std::nullopt;
    slot->icon = icon;
    if (const auto* app = std::get_if<IconInfo::App>(&icon.value)) {
        slot->title = app->name;
        slot->action = ActionType::launchApp(app->bundleId, app->name, app->path);
    }
    if (!std::holds_alternative<IconInfo::CustomImage>(icon.value))
        slot->isEnabled = true;
    return slot;
}

QString summonTestLabel(const std::optional<QString>& hotkeyText)
{
    if (hotkeyText)
        return L10n::format(QStringLiteral("settings.summon_test"), std::nullopt, {*hotkeyText});
    return L10n::string(QStringLiteral("settings.summon_test_nohotkey"),
                        QStringLiteral("呼出测试 (未预设按键)"));
}

QString windowTitle()
{
    return L10n::string(QStringLiteral("menubar.settings_window_title"), QStringLiteral("Rondix 轮盘设置"));
}

bool isSettingsWindowTitle(const QString& title)
{
    for (const char* mark : {"Rondix", "设置", "Settings", "設定"}) {
        if (title.contains(QString::fromUtf8(mark)))
            return true;
    }
    return false;
}

QString exportSuccessText(const QString& filePath)
{
    return L10n::format(QStringLiteral("profile.export_success_msg"),
                        QStringLiteral("轮盘配置已成功导出至：\n%@"), {QFileInfo(filePath).fileName()});
}

QString importSuccessText(const RingProfile& fromFile)
{
    const QString name = fromFile.bundleIdentifier ? messageEscaped(fromFile.name)
                                                   : L10n::string(QStringLiteral("profile.global_default"),
                                                                  QStringLiteral("通用配置 (全局默认)"));
    return L10n::format(QStringLiteral("profile.import_success_msg"),
                        QStringLiteral("轮盘配置「%@」已成功导入并切换。"), {name});
}

QString importFailedText(const QString& error)
{
    return L10n::format(QStringLiteral("profile.import_failed_msg"),
                        QStringLiteral("文件解析错误：%@\n请确保选择的是有效的 .rondix 或 .json 配置文件。"),
                        {error});
}

} // namespace SettingsRules
