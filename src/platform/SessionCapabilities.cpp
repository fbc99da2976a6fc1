#include "platform/SessionCapabilities.h"

#include "l10n/L10n.h"

namespace {
QStringList texts(const QStringList& keys)
{
    QStringList out;
    out.reserve(keys.size());
    for (const QString& key : keys)
        out << L10n::string(key);
    return out;
}
} // namespace

QStringList SessionCapabilities::missingTexts() const
{
    return texts(missing);
}

QStringList SessionCapabilities::adviceTexts() const
{
    return texts(advice);
}
