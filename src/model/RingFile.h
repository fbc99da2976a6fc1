#pragma once

#include "model/RingProfile.h"

#include <optional>
#include <QByteArray>
#include <QString>

// Ring exchange files: one ring as pretty-printed JSON, ".rondix" (".json" and
// any other name are read the same way). Shared by the command line, the
// running instance's D-Bus import and the settings window.
namespace RingFile {

// The extension of an exchange file, without the dot.
inline constexpr const char* kExtension = "rondix";

// Reads the file at `path` and decodes one ring under the strict rules. Refuses
// what is not a regular file, or is larger than any ring can be, before reading
// it. None with *error set (the path and the reason, on one line) otherwise.
std::optional<RingProfile> decode(const QString& path, QString* error);

// The file's bytes for `profile`: pretty-printed, ending in a line break.
QByteArray encode(const RingProfile& profile);

// Writes `profile` to `path` atomically, replacing any file there; false with
// *error set when it could not be written in full (an old file stays as it was).
bool write(const QString& path, const RingProfile& profile, QString* error);

// The name proposed when a ring is exported: the ring's name with every "/"
// made "-" for a ring of an application, "Rondix-Global" for the global ring;
// then ".rondix".
QString proposedFileName(const RingProfile& profile);

} // namespace RingFile
