#pragma once

#include <QtGlobal>

// Monotonic time source. Managers that measure intervals (sound throttle,
// indicator timing) take a Clock so tests can drive time by hand.
class Clock
{
public:
    virtual ~Clock() = default;
    // Seconds since an arbitrary fixed point (system up-time on the real clock).
    virtual double now() const = 0;

    static Clock& system();
};

class ManualClock : public Clock
{
public:
    double now() const override { return m_now; }
    void advance(double seconds) { m_now += seconds; }
    void set(double seconds) { m_now = seconds; }

private:
    double m_now = 1000.0;
};
