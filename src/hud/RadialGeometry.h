#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

// Fixed dimensions of the ring and the arithmetic between pointer offsets,
// sectors, angles and outlines. View coordinates, y pointing down. A clock angle
// is a compass bearing in degrees: 0 up, growing clockwise on screen.
namespace RadialGeometry {

constexpr int sectorCount = 8;
constexpr double sectorAngleSpan = 45.0;
constexpr double centerHubRadius = 42.0;
constexpr double innerRadius = 46.0;
constexpr double outerRadius = 138.0;
constexpr double hoveredOuterRadius = 148.0;

// Clock angle of an offset from the centre, in [0, 360). (0, 0) gives 90.
double clockAngle(const QPointF& offset);

// The sector containing a clock angle, always 0...7. Angles outside [0, 360)
// are folded in. A non-finite angle (NaN, infinity) has no sector; it gives 0
// so that callers never index out of range.
int sectorIndex(double clockAngle);

// Clock angle of a sector's centre line. Indices are reduced by the remainder
// of truncating division (9 -> 1, -1 -> -1).
double midAngle(int sectorIndex);

// Offset from the centre of the point at `radius` on a sector's centre line.
QPointF sectorCenterPoint(int sectorIndex, double radius);

// The annular wedge of a sector about the origin, 45 - gapDegrees wide. The
// path starts at the outer arc's start point, runs clockwise along the outer
// arc, back anticlockwise along the inner arc and closes.
QPainterPath sectorPath(int index, double innerR, double outerR, double gapDegrees);

} // namespace RadialGeometry

// One sector drawn as a wedge centred in a rectangle.
struct RadialSectorShape
{
    int index = 0;
    double innerRadius = RadialGeometry::innerRadius;
    double outerRadius = RadialGeometry::outerRadius;
    double gapDegrees = 0.0;

    QPainterPath path(const QRectF& rect) const;
};
