#pragma once

#include <optional>
#include <QByteArray>
#include <QMetaType>
#include <QString>

// The recorded global hotkey: ring key code, ModifierMask bits and the text shown
// to the user. Stored as a small JSON object in the settings.
struct SavedHotkey
{
    quint32 keyCode = 0;
    quint32 carbonModifiers = 0;
    QString displayString;

    bool operator==(const SavedHotkey&) const = default;

    // {"keyCode":..,"carbonModifiers":..,"displayString":".."}
    QByteArray toJson() const;
    // All three members are required; numbers must be unsigned 32-bit integers.
    static std::optional<SavedHotkey> fromJson(const QByteArray& json);

    // Option+Space, installed on a fresh start.
    static SavedHotkey defaultOptionSpace() { return {49, 2048, QStringLiteral("⌥Space")}; }

    static inline const QString settingsKey = QStringLiteral("user_configured_hotkey_v1");
    static inline const QString clearedKey = QStringLiteral("user_explicitly_cleared_hotkey");
};
Q_DECLARE_METATYPE(SavedHotkey)
