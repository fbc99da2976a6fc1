#pragma once

#include <QEasingCurve>

// One animated number, driven either by a damped spring (response and damping
// fraction, as the ring's motion is specified) or by a timed easing curve.
// Advanced by the view's frame clock; settles exactly on its target.
class AnimatedValue
{
public:
    AnimatedValue() = default;
    AnimatedValue(double value, double response, double dampingFraction);

    // Moves toward `target` with the spring, keeping the current velocity.
    void springTo(double target);
    // Moves toward `target` over `duration` seconds, starting at `now`.
    void easeTo(double target, double duration, QEasingCurve::Type curve, double now);
    void jumpTo(double value);

    // Advances to time `now` (seconds); returns true while still moving.
    bool advance(double now);
    bool isAnimating() const { return m_mode != Mode::Idle; }
    double value() const { return m_value; }
    double target() const { return m_target; }

private:
    enum class Mode
    {
        Idle,
        Spring,
        Ease
    };
    Mode m_mode = Mode::Idle;
    double m_value = 0.0;
    double m_target = 0.0;
    double m_velocity = 0.0;
    double m_response = 0.2;
    double m_damping = 0.7;
    double m_lastTime = -1.0;
    // Easing state.
    double m_from = 0.0;
    double m_start = 0.0;
    double m_duration = 0.0;
    QEasingCurve m_curve;
};
