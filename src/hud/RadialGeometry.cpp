#include "hud/RadialGeometry.h"

#include <algorithm>
#include <cmath>

namespace RadialGeometry {

namespace {

constexpr double kDegToRad = 0.017453292519943295;

int reduced(int index)
{
    return index % sectorCount; // truncating: keeps the sign of index
}

} // namespace

double clockAngle(const QPointF& offset)
{
    double a = std::atan2(offset.y(), offset.x()) * 180.0 / M_PI + 90.0;
    if (a < 0)
        a += 360.0;
    return a;
}

int sectorIndex(double angle)
{
    if (!std::isfinite(angle))
        return 0;
    double r = std::fmod(angle + sectorAngleSpan / 2.0, 360.0);
    if (r < 0)
        r += 360.0;
    const double q = r / sectorAngleSpan;
    // q can be exactly 8 when r rounds up to 360 for angles a hair below -22.5.
    const int i = int(q);
    return std::clamp(i, 0, sectorCount - 1);
}

double midAngle(int index)
{
    return reduced(index) * sectorAngleSpan;
}

QPointF sectorCenterPoint(int index, double radius)
{
    const double t = (reduced(index) * sectorAngleSpan - 90.0) * kDegToRad;
    return {radius * std::cos(t), radius * std::sin(t)};
}

QPainterPath sectorPath(int index, double innerR, double outerR, double gapDegrees)
{
    const double mid = reduced(index) * sectorAngleSpan;
    const double half = (sectorAngleSpan - gapDegrees) * 0.5;
    // Drawing angles: measured from +x toward +y, clockwise on screen.
    const double start = mid - half - 90.0;
    const double end = mid + half - 90.0;
    const double span = end - start;

    // QPainterPath angles run anticlockwise on screen (y up), so a clockwise
    // drawing angle d is Qt angle -d and a clockwise sweep is negative.
    const QRectF outer(-outerR, -outerR, 2 * outerR, 2 * outerR);
    const QRectF inner(-innerR, -innerR, 2 * innerR, 2 * innerR);
    QPainterPath path;
    path.arcMoveTo(outer, -start);
    path.arcTo(outer, -start, -span);
    // arcTo joins the outer end to the inner end with a straight edge.
    path.arcTo(inner, -end, span);
    path.closeSubpath();
    return path;
}

} // namespace RadialGeometry

QPainterPath RadialSectorShape::path(const QRectF& rect) const
{
    return RadialGeometry::sectorPath(index, innerRadius, outerRadius, gapDegrees).translated(rect.center());
}
