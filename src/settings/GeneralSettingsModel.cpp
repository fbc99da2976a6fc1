#include "settings/GeneralSettingsModel.h"

#include "common/AppSettings.h"
#include "common/Log.h"
#include "l10n/L10n.h"
#include "platform/LoginItem.h"

GeneralSettingsModel::GeneralSettingsModel(L10n* l10n, LoginItem* loginItem, Hooks hooks)
    : m_l10n(l10n)
    , m_loginItem(loginItem)
    , m_hooks(std::move(hooks))
{}

QStringList GeneralSettingsModel::themeModes()
{
    return {QStringLiteral("system"), QStringLiteral("light"), QStringLiteral("dark")};
}

bool GeneralSettingsModel::isThemeCardSelected(const QString& storedTheme, const QString& cardMode)
{
    return storedTheme == cardMode;
}

QString GeneralSettingsModel::themeMode() const
{
    return AppSettings::value(kThemeMode, QStringLiteral("system")).toString();
}

void GeneralSettingsModel::setThemeMode(const QString& mode)
{
    AppSettings::setValue(kThemeMode, mode);
}

bool GeneralSettingsModel::launchAtLogin() const
{
    return AppSettings::boolValue(kLaunchAtLogin, true);
}

void GeneralSettingsModel::setLaunchAtLogin(bool enabled)
{
    AppSettings::setValue(kLaunchAtLogin, enabled);
    QString error;
    bool ok = false;
    if (!m_loginItem)
        error = QStringLiteral("no autostart support on this desktop");
    else
        ok = enabled ? m_loginItem->registerItem(&error) : m_loginItem->unregisterItem(&error);
    if (!ok)
        logLine(QStringLiteral("[GeneralSettings] Failed to update launchAtLogin: ") + error);
}

bool GeneralSettingsModel::hideDockIcon() const
{
    return AppSettings::boolValue(kHideDockIcon, false);
}

void GeneralSettingsModel::setHideDockIcon(bool hide)
{
    AppSettings::setValue(kHideDockIcon, hide);
    if (m_hooks.hideFromTaskbar)
        m_hooks.hideFromTaskbar(hide);
}

bool GeneralSettingsModel::soundEnabled() const
{
    return AppSettings::boolValue(kSoundEnabled, false);
}

void GeneralSettingsModel::setSoundEnabled(bool enabled)
{
    AppSettings::setValue(kSoundEnabled, enabled);
    if (enabled && m_hooks.playHover)
        m_hooks.playHover();
}

QList<AppLanguage> GeneralSettingsModel::languages()
{
    return AppLanguages::allCases();
}

int GeneralSettingsModel::languageIndex() const
{
    const QString current = m_l10n ? m_l10n->currentLanguage() : QStringLiteral("system");
    const QList<AppLanguage> all = languages();
    for (int i = 0; i < all.size(); ++i) {
        if (AppLanguages::rawValue(all[i]) == current)
            return i;
    }
    return -1;
}

void GeneralSettingsModel::chooseLanguage(int index)
{
    const QList<AppLanguage> all = languages();
    if (!m_l10n || index < 0 || index >= all.size())
        return;
    m_l10n->setCurrentLanguage(AppLanguages::rawValue(all[index]));
}
