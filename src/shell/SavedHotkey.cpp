#include "shell/SavedHotkey.h"

#include <cmath>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

std::optional<quint32> unsignedMember(const QJsonObject& o, const QString& key)
{
    const QJsonValue v = o.value(key);
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    // JSON integers only: no fractions, no negatives, nothing beyond 32 bits.
    if (!std::isfinite(d) || d < 0 || d > 4294967295.0 || std::floor(d) != d)
        return std::nullopt;
    return static_cast<quint32>(d);
}

} // namespace

QByteArray SavedHotkey::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("keyCode"), static_cast<qint64>(keyCode));
    o.insert(QStringLiteral("carbonModifiers"), static_cast<qint64>(carbonModifiers));
    o.insert(QStringLiteral("displayString"), displayString);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<SavedHotkey> SavedHotkey::fromJson(const QByteArray& json)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto keyCode = unsignedMember(o, QStringLiteral("keyCode"));
    const auto mods = unsignedMember(o, QStringLiteral("carbonModifiers"));
    const QJsonValue text = o.value(QStringLiteral("displayString"));
    if (!keyCode || !mods || !text.isString())
        return std::nullopt;
    return SavedHotkey{*keyCode, *mods, text.toString()};
}
