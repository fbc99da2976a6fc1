#include "model/RingFile.h"

#include "common/AtomicFile.h"
#include "common/MessageText.h"
#include "model/ModelJson.h"

#include <cerrno>
#include <cstring>
#include <QFile>
#include <sys/stat.h>

namespace {

// A ring file is a few kilobytes; anything beyond what a ring can hold is not
// one, and is refused before it is read.
constexpr qint64 kMaxRingFileBytes = kRingJsonLimits.maxBytes;

// Reads a file that is expected to hold a ring. Refuses what is not a regular
// file (directories, devices, pipes) before opening it, so a mistyped path
// can neither block nor stream without end.
bool readRingFile(const QString& filePath, QByteArray* bytes, QString* error)
{
    // The path as shown in messages; a D-Bus caller may pass any text.
    const QString path = controlsEscaped(filePath);
    if (filePath.isEmpty()) {
        *error = QStringLiteral("empty file name");
        return false;
    }
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(filePath).constData(), &info) != 0) {
        const int statError = errno;
        *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(statError)));
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = QStringLiteral("%1: is a directory, not a ring file").arg(path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = QStringLiteral("%1: not a regular file").arg(path);
        return false;
    }
    if (info.st_size > kMaxRingFileBytes) {
        *error = QStringLiteral("%1: too large for a ring file (%2 bytes)")
                     .arg(path, QString::number(qint64(info.st_size)));
        return false;
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return false;
    }
    // The size may have changed since stat(); never read past the limit.
    *bytes = file.read(kMaxRingFileBytes + 1);
    if (bytes->size() > kMaxRingFileBytes) {
        *error = QStringLiteral("%1: too large for a ring file").arg(path);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

namespace RingFile {

std::optional<RingProfile> decode(const QString& path, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    QByteArray bytes;
    if (!readRingFile(path, &bytes, error))
        return std::nullopt;
    QString decodeError;
    std::optional<RingProfile> decoded = decodeRingProfile(bytes, &decodeError);
    if (!decoded) {
        *error = QStringLiteral("%1: not a valid ring file: %2").arg(controlsEscaped(path), decodeError);
        // The store file is the likeliest wrong pick: say what it is.
        if (bytes.trimmed().startsWith('[') && decodeRingProfiles(bytes, nullptr, kRingJsonLimits))
            *error += QStringLiteral(" (this is a list of rings, like the ring store, not one ring)");
        return std::nullopt;
    }
    return decoded;
}

QByteArray encode(const RingProfile& profile)
{
    QByteArray json = encodeRingProfile(profile, JsonLayout::Pretty);
    if (!json.endsWith('\n'))
        json.append('\n');
    return json;
}

bool write(const QString& path, const RingProfile& profile, QString* error)
{
    QString ignored;
    return writeFileAtomically(path, encode(profile), error ? error : &ignored);
}

QString proposedFileName(const RingProfile& profile)
{
    const QString base = profile.bundleIdentifier
                             ? QString(profile.name).replace(QLatin1Char('/'), QLatin1Char('-'))
                             : QStringLiteral("Rondix-Global");
    return base + QLatin1Char('.') + QLatin1String(kExtension);
}

} // namespace RingFile
