#include "actions/VolumeDisplay.h"

#include <cmath>

namespace VolumeDisplay {

QString speakerSymbolName(float volume, bool muted)
{
    if (muted)
        return QStringLiteral("speaker.slash.fill");
    if (volume <= 0.01f)
        return QStringLiteral("speaker.fill");
    if (volume < 0.34f)
        return QStringLiteral("speaker.wave.1.fill");
    if (volume < 0.67f)
        return QStringLiteral("speaker.wave.2.fill");
    return QStringLiteral("speaker.wave.3.fill");
}

QString percentText(float volume)
{
    const float percent = volume * 100.0f;
    return QString::number(int(std::round(percent))) + QLatin1Char('%');
}

} // namespace VolumeDisplay
