#pragma once

// What the settings tests start from: settings (and, when asked, data) in a
// folder of the test's own, and the string tables the product ships, in English.
#include "l10n/L10n.h"

#include <QTemporaryDir>

inline void useShippedStrings(const QTemporaryDir& dir, bool ownDataFolder = false)
{
    qputenv("RONDIX_L10N_DIR", QByteArray(RONDIX_SOURCE_DIR "/resources/l10n"));
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    if (ownDataFolder)
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    L10n::shared().setCurrentLanguage(QStringLiteral("en"));
}
