#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `data` atomically: a reader sees the old
// file or the new one, never a part. Returns false with *error set when the
// data could not be written in full; the old file is then left as it was.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);
