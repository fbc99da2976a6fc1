#include "common/AtomicFile.h"

#include <QSaveFile>

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    // QSaveFile::commit() does not notice a failed final flush of its buffer
    // (a full disk with a small file), and would put a cut-off file in place:
    // flush first and give up on any error.
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush()
                    && file.error() == QFileDevice::NoError && file.commit();
    if (!ok) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
    }
    return ok;
}
