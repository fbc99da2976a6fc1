#pragma once

#include "l10n/AppLanguage.h"

#include <functional>
#include <QList>
#include <QString>

class L10n;
class LoginItem;

// The rules of the general page, apart from its widgets: the stored settings
// it edits, what each change does at once, the theme cards and the language
// list. Every change is written at once; there is no Apply.
class GeneralSettingsModel
{
public:
    struct Hooks
    {
        // The sample sound played when sounds are turned on.
        std::function<void()> playHover;
        // Keeps the settings window off the taskbar, or puts it back.
        std::function<void(bool hide)> hideFromTaskbar;
    };

    GeneralSettingsModel(L10n* l10n, LoginItem* loginItem, Hooks hooks);

    static inline const QString kLaunchAtLogin = QStringLiteral("launchAtLogin");
    static inline const QString kHideDockIcon = QStringLiteral("hideDockIcon");
    static inline const QString kSoundEnabled = QStringLiteral("soundEnabled");
    static inline const QString kThemeMode = QStringLiteral("rondix_theme_mode");

    // The three cards, in order: "system", "light", "dark".
    static QStringList themeModes();
    // A card is selected when the stored text is exactly its mode: "Dark" or
    // "auto" select none.
    static bool isThemeCardSelected(const QString& storedTheme, const QString& cardMode);

    QString themeMode() const;
    void setThemeMode(const QString& mode);

    bool launchAtLogin() const;
    // Stores the choice, then registers or removes the autostart entry. A
    // failure is logged; the stored choice stays what the user chose.
    void setLaunchAtLogin(bool enabled);

    bool hideDockIcon() const;
    void setHideDockIcon(bool hide);

    bool soundEnabled() const;
    // Turning sounds on plays one hover sound; turning them off plays nothing.
    void setSoundEnabled(bool enabled);

    // The picker's entries in order, and the entry the stored choice selects
    // (-1 for a choice that names none of them).
    static QList<AppLanguage> languages();
    int languageIndex() const;
    // Stores the choice and switches the texts (the views redraw once the new
    // tables are in place).
    void chooseLanguage(int index);

private:
    L10n* m_l10n;
    LoginItem* m_loginItem;
    Hooks m_hooks;
};
