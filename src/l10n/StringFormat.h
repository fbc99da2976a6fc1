#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

// printf-style formatting of translated texts, in the dialect of the string
// tables: %@ (text), %d %i %u with length modifiers (integer), %f (number),
// %% and positional forms such as %2$@. Missing arguments render as empty text.
namespace StringFormat {

QString apply(const QString& format, const QVariantList& args);

// The placeholders of a format as "position:kind" entries sorted by position,
// kind being "@" (text), "d" (integer) or "f" (number). Two translations of a
// line are interchangeable when their signatures are equal.
QStringList signature(const QString& format);

} // namespace StringFormat
