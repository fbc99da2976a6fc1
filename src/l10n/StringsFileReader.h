#pragma once

#include <optional>
#include <QByteArray>
#include <QHash>
#include <QString>

// Reads Apple ".strings" tables: `"key" = "value";` entries with /* */ and //
// comments. Takes bytes, never touches the file system, so every error path
// can be tested on literal input.
class StringsFileReader
{
public:
    struct Result
    {
        QHash<QString, QString> entries;
        // Empty on success; otherwise "<sourceName>:<line>: <message>".
        QString error;
        int errorLine = 0;

        bool ok() const { return error.isEmpty(); }
    };

    // sourceName only labels errors (e.g. "en.lproj/Localizable.strings").
    // On any error the entries are left empty: a table is loaded whole or not at all.
    static Result parse(const QByteArray& bytes, const QString& sourceName);

    // Byte-order marks select UTF-16 LE/BE; otherwise the bytes must be UTF-8.
    static std::optional<QString> decode(const QByteArray& bytes);
};
