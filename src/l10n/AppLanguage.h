#pragma once

#include <optional>
#include <QList>
#include <QString>

// The languages offered in the settings, in menu order.
enum class AppLanguage
{
    system,
    en,
    zhHans,
    ja,
};

namespace AppLanguages {

QList<AppLanguage> allCases();

// "system", "en", "zh-Hans", "ja"; also the stored value of "app_language".
QString rawValue(AppLanguage language);

// Accepts exactly the four raw values.
std::optional<AppLanguage> fromRawValue(const QString& raw);

// Native names are fixed; only "follow system" is translated.
QString displayName(AppLanguage language);

} // namespace AppLanguages
