#include "l10n/AppLanguage.h"

#include "l10n/L10n.h"

namespace AppLanguages {

QList<AppLanguage> allCases()
{
    return {AppLanguage::system, AppLanguage::en, AppLanguage::zhHans, AppLanguage::ja};
}

QString rawValue(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return QStringLiteral("system");
    case AppLanguage::en:
        return QStringLiteral("en");
    case AppLanguage::zhHans:
        return QStringLiteral("zh-Hans");
    case AppLanguage::ja:
        return QStringLiteral("ja");
    }
    return QStringLiteral("system");
}

std::optional<AppLanguage> fromRawValue(const QString& raw)
{
    for (AppLanguage language : allCases()) {
        if (rawValue(language) == raw)
            return language;
    }
    return std::nullopt;
}

QString displayName(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return L10n::string(QStringLiteral("lang.system"), QStringLiteral("跟随系统 / Follow System"));
    case AppLanguage::en:
        return QStringLiteral("English");
    case AppLanguage::zhHans:
        return QStringLiteral("简体中文");
    case AppLanguage::ja:
        return QStringLiteral("日本語");
    }
    return {};
}

} // namespace AppLanguages
