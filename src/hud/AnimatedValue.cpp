#include "hud/AnimatedValue.h"

#include <cmath>

AnimatedValue::AnimatedValue(double value, double response, double dampingFraction)
    : m_value(value)
    , m_target(value)
    , m_response(response)
    , m_damping(dampingFraction)
{}

void AnimatedValue::springTo(double target)
{
    if (m_mode == Mode::Idle && target == m_value)
        return;
    if (m_mode == Mode::Spring && target == m_target)
        return;
    m_target = target;
    if (m_mode != Mode::Spring)
        m_lastTime = -1.0; // starts at the next frame
    m_mode = Mode::Spring;
}

void AnimatedValue::easeTo(double target, double duration, QEasingCurve::Type curve, double now)
{
    if (m_mode == Mode::Idle && target == m_value)
        return; // already there: no frames to run
    if (m_mode == Mode::Ease && target == m_target)
        return; // already heading there; a repeat must not restart the curve
    m_mode = Mode::Ease;
    m_from = m_value;
    m_target = target;
    m_start = now;
    m_duration = duration;
    m_curve = QEasingCurve(curve);
    m_velocity = 0.0;
}

void AnimatedValue::jumpTo(double value)
{
    m_mode = Mode::Idle;
    m_value = m_target = value;
    m_velocity = 0.0;
}

bool AnimatedValue::advance(double now)
{
    switch (m_mode) {
    case Mode::Idle:
        return false;
    case Mode::Ease: {
        const double p = m_duration <= 0 ? 1.0 : (now - m_start) / m_duration;
        if (p >= 1.0) {
            jumpTo(m_target);
            return false;
        }
        m_value = m_from + (m_target - m_from) * m_curve.valueForProgress(std::max(0.0, p));
        return true;
    }
    case Mode::Spring: {
        if (m_lastTime < 0)
            m_lastTime = now;
        double dt = std::min(now - m_lastTime, 0.1); // a stalled frame must not explode
        m_lastTime = now;
        // Mass 1: stiffness (2 pi / response)^2, damping 4 pi zeta / response.
        const double k = std::pow(2.0 * M_PI / m_response, 2.0);
        const double c = 4.0 * M_PI * m_damping / m_response;
        while (dt > 0) {
            const double h = std::min(dt, 1.0 / 480.0);
            const double a = -k * (m_value - m_target) - c * m_velocity;
            m_velocity += a * h;
            m_value += m_velocity * h;
            dt -= h;
        }
        if (std::abs(m_value - m_target) < 5e-4 && std::abs(m_velocity) < 5e-3) {
            jumpTo(m_target);
            return false;
        }
        return true;
    }
    }
    return false;
}
