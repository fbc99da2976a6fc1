#pragma once

#include "l10n/L10n.h"

#include <cstdio>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <unistd.h>

// Text lookups in these tests run against a private table directory: the
// "zh-Hans" table maps every key to a marker "«key»" (formats get " %@"), and
// there is no English table, so under "en" every lookup shows the call site's
// fallback (or the key). Running a case in both languages checks the key and
// the fallback text of each lookup.
namespace ModelTestSupport {

inline QString marker(const QString& key)
{
    return QStringLiteral("«") + key + QStringLiteral("»");
}

inline const QStringList& formatKeys()
{
    static const QStringList keys{QStringLiteral("action.launch_app"), QStringLiteral("action.open_url")};
    return keys;
}

inline QString formatMarker(const QString& key, const QString& arg)
{
    return QStringLiteral("«") + key + QLatin1Char(' ') + arg + QStringLiteral("»");
}

// Points the process-wide text lookup at a marker table. Call before anything
// touches L10n::shared().
inline void installMarkerTables(const QTemporaryDir& dir, const QStringList& keys)
{
    qputenv("XDG_CONFIG_HOME", QDir(dir.path()).filePath(QStringLiteral("config")).toUtf8());
    const QString tables = QDir(dir.path()).filePath(QStringLiteral("l10n"));
    QDir().mkpath(tables + QStringLiteral("/zh-Hans.lproj"));
    QFile file(tables + QStringLiteral("/zh-Hans.lproj/Localizable.strings"));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the marker table");
    for (const QString& key : keys) {
        const QString value =
            formatKeys().contains(key) ? QStringLiteral("«") + key + QStringLiteral(" %@»") : marker(key);
        file.write((QStringLiteral("\"") + key + QStringLiteral("\" = \"") + value + QStringLiteral("\";\n"))
                       .toUtf8());
    }
    file.close();
    qputenv("RONDIX_L10N_DIR", tables.toUtf8());
}

enum class Lookup
{
    Fallback,
    Keyed
};

inline void useLookup(Lookup mode)
{
    L10n::shared().setCurrentLanguage(mode == Lookup::Keyed ? QStringLiteral("zh-Hans")
                                                            : QStringLiteral("en"));
}

// What a lookup of key with fallback shows in the given mode.
inline QString expected(Lookup mode, const QString& key, const QString& fallback)
{
    if (key.isEmpty())
        return fallback; // a literal, not looked up
    return mode == Lookup::Keyed ? marker(key) : fallback;
}

// Captures what the process writes to standard output (log lines) while alive.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        m_file = std::tmpfile();
        m_saved = dup(fileno(stdout));
        dup2(fileno(m_file), fileno(stdout));
    }
    ~StdoutCapture() { finish(); }

    QString finish()
    {
        if (m_saved >= 0) {
            std::fflush(stdout);
            dup2(m_saved, fileno(stdout));
            close(m_saved);
            m_saved = -1;
            std::rewind(m_file);
            QByteArray bytes;
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
                bytes.append(buffer, qsizetype(n));
            std::fclose(m_file);
            m_text = QString::fromUtf8(bytes);
        }
        return m_text;
    }

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
    QString m_text;
};

} // namespace ModelTestSupport
