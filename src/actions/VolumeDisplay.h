#pragma once

#include <QString>

// How a volume level is shown, the same on the ring's hub gauge and on the
// volume indicator.
namespace VolumeDisplay {

// The speaker symbol for a level: slashed when muted, then by thresholds
// 0.01, 0.34 and 0.67 (compared in single precision).
QString speakerSymbolName(float volume, bool muted);

// The rounded percentage, "62%": single precision like the level itself
// (0.005 -> 1%), halves rounded away from zero.
QString percentText(float volume);

} // namespace VolumeDisplay
