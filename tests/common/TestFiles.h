#pragma once

// Small file helpers the tests share.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `bytes` to `path`, making its folder first.
inline bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

#ifdef RONDIX_SOURCE_DIR
// A file of the ring file fuzzer's corpus.
inline QByteArray corpusFile(const char* name)
{
    const QByteArray bytes =
        readFile(QStringLiteral(RONDIX_SOURCE_DIR "/tests/fuzz/corpus/ring_json/") + QLatin1String(name));
    return bytes.isEmpty() ? QByteArray("missing test file") : bytes;
}
#endif
